#pragma once

#include <QPointer>
#include <QString>

class QTabWidget;
class QWidget;

namespace ql {

// A tab shows "&" as the mark of a keyboard mnemonic. Captions are file names, which may contain
// "&": they are written to a tab with every "&" doubled and read back without the doubling.
QString tabTextOf(const QString &caption);
QString captionOf(const QString &tabText);

// How a task-list frame reaches the caption of the tab that shows it. The main window shows each
// frame on a page of a QTabWidget, where PageTabCaption finds the caption; tests put a fake in its
// place. Both operations throw ql::Error when there is no caption to reach.
class TabCaption
{
public:
    virtual ~TabCaption() = default;

    virtual QString text() const = 0;
    virtual void setText(const QString &caption) = 0;

protected:
    TabCaption() = default;
    TabCaption(const TabCaption &) = delete;
    TabCaption &operator=(const TabCaption &) = delete;
};

// The caption of the tab whose page is the frame's parent, looked up at the moment of use, so a tab
// that moves or a page that the frame is put on later is always found.
class PageTabCaption final : public TabCaption
{
public:
    explicit PageTabCaption(QWidget *frame);

    QString text() const override;
    void setText(const QString &caption) override;

private:
    // The tab widget that shows the frame's page and the page's index in it; throws when the frame
    // is not on a tab page.
    std::pair<QTabWidget *, int> findTab() const;

    QPointer<QWidget> m_frame;
};

} // namespace ql
