// The About box: its picture decoded with libjpeg, the refusal of damaged pictures, and the link to
// the program's web address.
#include "dialogs/JpegImage.h"
#include "dialogs/uAbout.h"
#include "gui/Printers.h"
#include "platform/Error.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramInfo.h"
#include "platform/gui/RecordingShell.h"
#include "platform/gui/ScriptedUi.h"

#include <QEnterEvent>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using ql::RecordingShell;
using ql::TfrmAbout;

class AboutTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previousUi = ql::Ui::install(&m_ui);
        m_previousShell = ql::Shell::install(&m_shell);
    }
    void TearDown() override
    {
        ql::Shell::install(m_previousShell);
        ql::Ui::install(m_previousUi);
    }

    // The picture as the program ships it (the About box registers the resources it is kept in).
    static QByteArray shippedPicture()
    {
        TfrmAbout about;
        QFile file(QStringLiteral(":/about/main-window.jpg"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The position of the first marker `second` (after 0xFF) in a JPEG file, or -1.
    static qsizetype markerAt(const QByteArray &bytes, uchar second)
    {
        for (qsizetype i = 0; i + 1 < bytes.size(); ++i)
            if (uchar(bytes[i]) == 0xFF && uchar(bytes[i + 1]) == second)
                return i;
        return -1;
    }

    ql::ScriptedUi m_ui;
    RecordingShell m_shell;
    ql::Ui *m_previousUi = nullptr;
    ql::Shell *m_previousShell = nullptr;
};

TEST_F(AboutTest, Picture_ShippedJpegDecodesToTheMainWindowAt462By247)
{
    const QByteArray bytes = shippedPicture();
    ASSERT_FALSE(bytes.isEmpty());
    const QImage image = ql::decodeJpeg(bytes);
    ASSERT_EQ(image.size(), QSize(462, 247));
    // A row of a task at 50 % or more is olive; the footer bar under the window is a light grey.
    const struct
    {
        QPoint at;
        QColor colour;
    } pixels[] = { { QPoint(100, 120), QColor(128, 128, 0) }, { QPoint(440, 235), QColor(237, 234, 243) } };
    for (const auto &p : pixels) {
        const QColor seen = image.pixelColor(p.at);
        EXPECT_NEAR(seen.red(), p.colour.red(), 8);
        EXPECT_NEAR(seen.green(), p.colour.green(), 8);
        EXPECT_NEAR(seen.blue(), p.colour.blue(), 8);
    }

    // The box shows it whole at its natural size, clipped by its smaller area.
    TfrmAbout about;
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(462, 247));
    EXPECT_EQ(about.Image1->size(), QSize(345, 241));
    EXPECT_FALSE(about.Image2->pixmap().isNull());
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(AboutTest, Picture_DamagedOrCutOffBytes_ClearErrorNoImage)
{
    const QByteArray good = shippedPicture();
    ASSERT_GT(good.size(), 1000);
    const qsizetype sof = markerAt(good, 0xC0);
    ASSERT_GT(sof, 0) << "the shipped picture is a baseline JPEG";

    // The frame header: marker, length (2), precision (1), height (2), width (2).
    QByteArray noHeight = good;
    noHeight[sof + 5] = 0;
    noHeight[sof + 6] = 0;
    QByteArray huge = good;
    huge[sof + 5] = char(0xFF);
    huge[sof + 6] = char(0xDC);
    huge[sof + 7] = char(0xFF);
    huge[sof + 8] = char(0xDC);
    QByteArray badTable = good;
    const qsizetype dht = markerAt(good, 0xC4);
    ASSERT_GT(dht, 0);
    badTable[dht + 4] = char(0x7F); // a table class and number that do not exist

    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        { "empty", QByteArray() },
        { "not a JPEG", QByteArrayLiteral("\x89PNG\r\n\x1a\n not a picture at all") },
        { "start marker only", good.left(2) },
        { "cut inside the headers", good.left(sof + 4) },
        { "cut in the middle of the picture", good.left(good.size() / 2) },
        { "end marker missing", good.left(good.size() - 2) },
        { "height zero", noHeight },
        { "65500 by 65500 pixels", huge },
        { "damaged Huffman table", badTable },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const QImage image = ql::decodeJpeg(c.bytes);
            ADD_FAILURE() << "decoded " << image.width() << " x " << image.height();
        } catch (const ql::Error &e) {
            const QString prefix = QStringLiteral("Cannot read the JPEG picture: ");
            EXPECT_TRUE(e.message().startsWith(prefix)) << e.what();
            EXPECT_GT(e.message().size(), prefix.size() + 5) << e.what();
        }
    }
    // The decoder is still sound after all that.
    EXPECT_EQ(ql::decodeJpeg(good).size(), QSize(462, 247));
}

TEST_F(AboutTest, Link_OpensTheWebAddressAndShowsThePointingHandWhileOverIt)
{
    TfrmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about.Label5->text(), TfrmAbout::WebAddress);
    const std::vector<RecordingShell::Call> opened { { RecordingShell::Verb::Open, TfrmAbout::WebAddress } };

    QTest::mouseClick(about.Label5, Qt::LeftButton);
    EXPECT_EQ(m_shell.calls(), opened);
    m_shell.clear();
    QTest::keyClick(about.Label5, Qt::Key_Space);
    EXPECT_EQ(m_shell.calls(), opened);

    // A desktop that refuses the address: nothing is said.
    m_shell.clear();
    m_shell.setResult(false);
    QTest::mouseClick(about.Label5, Qt::LeftButton);
    EXPECT_EQ(m_shell.calls(), opened);
    EXPECT_TRUE(m_ui.prompts().empty());

    // The pointing hand, for the whole application, only while the pointer is over the link.
    const auto pointer = [] {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        return cursor ? cursor->shape() : Qt::BitmapCursor;
    };
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    about.show();
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(about.Label5, &enter);
    EXPECT_EQ(pointer(), Qt::PointingHandCursor);
    QCoreApplication::sendEvent(about.Label5, &enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(about.Label5, &leave);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // Closed while the pointer is still over the link: the normal pointer comes back.
    QCoreApplication::sendEvent(about.Label5, &enter);
    about.close();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The version shown is the build's one version ("1.0.0~beta" reads "Version 1.00 beta"), and the
// box tells which folder holds the program's own files, however long its path.
TEST_F(AboutTest, ShowsTheBuildsVersionAndTheSettingsFolder)
{
    const QRegularExpressionMatch version
        = QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)\\.\\d+(?:~(\\w+))?$"))
              .match(ql::programVersion());
    ASSERT_TRUE(version.hasMatch()) << ql::programVersion().toStdString();
    QString expected = QStringLiteral("Version %1.%2")
                           .arg(version.captured(1), version.captured(2).rightJustified(2, u'0'));
    if (!version.captured(3).isEmpty())
        expected += QLatin1Char(' ') + version.captured(3);

    QTemporaryDir dir;
    const QString folder = dir.filePath(QString(120, u'f'));
    ql::ProgramFolder::set(folder);
    TfrmAbout about;
    ql::ProgramFolder::reset();
    EXPECT_EQ(about.Label2->text(), expected);

    const QString settings = QStringLiteral("Settings: ") + folder;
    EXPECT_EQ(about.settingsFolderLabel->toolTip(), settings);
    EXPECT_EQ(about.settingsFolderLabel->accessibleName(), settings);
    const QString shown = about.settingsFolderLabel->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Settings: "))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(folder.right(8))) << shown.toStdString();
    EXPECT_LE(about.settingsFolderLabel->fontMetrics().horizontalAdvance(shown),
        about.settingsFolderLabel->width());
}

} // namespace
