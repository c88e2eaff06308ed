#include "tasks/TabCaption.h"

#include "platform/Error.h"

#include <QTabWidget>

namespace ql {

QString tabTextOf(const QString &caption)
{
    QString text = caption;
    return text.replace(u'&', QStringLiteral("&&"));
}

QString captionOf(const QString &tabText)
{
    QString caption = tabText;
    return caption.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

PageTabCaption::PageTabCaption(QWidget *frame)
    : m_frame(frame)
{
}

std::pair<QTabWidget *, int> PageTabCaption::findTab() const
{
    QWidget *page = m_frame ? m_frame->parentWidget() : nullptr;
    // A QTabWidget keeps its pages in an inner stacked widget, so the tab widget is further up.
    for (QWidget *up = page ? page->parentWidget() : nullptr; up; up = up->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(up)) {
            const int index = tabs->indexOf(page);
            if (index >= 0)
                return { tabs, index };
            break;
        }
    }
    throw Error(QStringLiteral("The list is not shown on a tab"));
}

QString PageTabCaption::text() const
{
    const auto [tabs, index] = findTab();
    return captionOf(tabs->tabText(index));
}

void PageTabCaption::setText(const QString &caption)
{
    const auto [tabs, index] = findTab();
    tabs->setTabText(index, tabTextOf(caption));
}

} // namespace ql
