#include "dialogs/uAbout.h"

#include "dialogs/JpegImage.h"
#include "platform/Error.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramInfo.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/ProgramIcon.h"
#include "platform/gui/Shell.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>

// The pictures are compiled into the dialogs library (uAbout.qrc); a static library's resources are
// registered only when asked for, and the macro must be used outside any namespace.
static void initAboutResources()
{
    Q_INIT_RESOURCE(uAbout);
}

namespace ql {

namespace {

const QString PicturePath = QStringLiteral(":/about/main-window.jpg");

QByteArray resourceBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    return file.readAll();
}

// Gill Sans Ultra Bold where it is installed; otherwise the same size in the heaviest italic of
// the nearest sans-serif faces (DejaVu Sans Bold Oblique on a usual Linux desktop), which keeps
// the broad, dark look of the name.
QFont titleFont(QFont font)
{
    font.setFamilies({ QStringLiteral("Gill Sans Ultra Bold"), QStringLiteral("Gill Sans MT Ultra Bold"),
        QStringLiteral("Gill Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans") });
    font.setPointSize(26);
    font.setItalic(true);
    font.setWeight(QFont::Black);
    return font;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

TfrmAbout::TfrmAbout(QWidget *parent)
    : QDialog(parent)
{
    initAboutResources();
    // Qt centres a dialog on its parent (the main window) when it is shown.
    setupUi(this);
    setFixedSize(size());

    Label1->setFont(titleFont(Label1->font()));
    setTextColour(Label1, Qt::black);
    Label1->adjustSize();
    Label2->setText(aboutVersionText());

    // The folder of "Recent.XML" and Quillon.ini, which differs between a portable copy and an
    // installed program. A long path is cut in its middle; the whole of it is the tip, and can be
    // selected and copied.
    const QString settings
        = QStringLiteral("Settings: %1").arg(QDir::toNativeSeparators(ProgramFolder::path()));
    settingsFolderLabel->setText(settingsFolderLabel->fontMetrics().elidedText(
        settings, Qt::ElideMiddle, settingsFolderLabel->width()));
    settingsFolderLabel->setToolTip(settings);
    settingsFolderLabel->setAccessibleName(settings);

    setTextColour(Label5, QColor(0x00, 0x00, 0x80));
    Label5->setAccessibleName(WebAddress);
    Label5->setAccessibleDescription(QStringLiteral("Link"));
    Label5->adjustSize();
    Label5->installEventFilter(this);

    Image2->setPixmap(programIcon().pixmap(32, 32));
    // The picture is part of the program; should it ever be damaged, the box shows without it and
    // says why.
    runGuarded([this] { Image1->setPixmap(QPixmap::fromImage(decodeJpeg(resourceBytes(PicturePath)))); });
}

TfrmAbout::~TfrmAbout()
{
    showLinkPointer(false);
}

void TfrmAbout::Label5Click()
{
    runGuarded([] {
        // A desktop that cannot open the address is not reported: the box has nothing else to
        // offer, and the address is there to read.
        Shell::current().open(WebAddress);
    });
}

bool TfrmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Label5)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
        showLinkPointer(true);
        break;
    case QEvent::Leave:
        showLinkPointer(false);
        break;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && Label5->rect().contains(mouse->position().toPoint())) {
            Label5Click();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            Label5Click();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::hideEvent(QHideEvent *event)
{
    // A box closed with the pointer still over the link gets no leave event.
    showLinkPointer(false);
    QDialog::hideEvent(event);
}

void TfrmAbout::showLinkPointer(bool on)
{
    if (on == m_linkPointer)
        return;
    m_linkPointer = on;
    if (on)
        QGuiApplication::setOverrideCursor(Qt::PointingHandCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

} // namespace ql
