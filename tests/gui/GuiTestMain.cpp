// Main of the tests of the desktop seams: the program's own application object on the offscreen
// platform, the locale pinned to en_US, and prompts, shell and program dialogs that cannot reach a
// user: a test that does not install its own gets them recorded instead of waiting for a click.
#include "platform/SystemFormats.h"
#include "platform/gui/QuillonApplication.h"
#include "platform/gui/RecordingShell.h"
#include "platform/gui/ScriptedUi.h"
#include "platform/gui/ShowModal.h"
#include "platform/gui/WindowFonts.h"

#include <QDialog>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

class NoDesktop final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        ql::Ui::install(&m_ui);
        ql::Shell::install(&m_shell);
        ql::setModalHook([](QDialog &dialog) {
            ADD_FAILURE() << "dialog shown without a test's hook: " << dialog.objectName().toStdString();
            return int(QDialog::Rejected);
        });
    }

    void TearDown() override
    {
        // Every error is caught by the guard of its command; the application's last catch must never
        // have been needed (the test of that catch resets the count).
        EXPECT_EQ(ql::QuillonApplication::escapedErrors(), 0);
        ql::setModalHook({});
        ql::Shell::install(nullptr);
        ql::Ui::install(nullptr);
    }

private:
    ql::ScriptedUi m_ui;
    ql::RecordingShell m_shell;
};

QtMessageHandler s_defaultHandler = nullptr;

// The offscreen platform cannot size windows to their hints and says so for every dialog.
void dropOffscreenNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    s_defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    s_defaultHandler = qInstallMessageHandler(dropOffscreenNoise);
    ::testing::InitGoogleTest(&argc, argv);
    ql::QuillonApplication app(argc, argv);
    ql::SystemFormats::pin(QLocale(QLocale::English, QLocale::UnitedStates));
    // The windows' own font, as the program has it: layouts are checked in the font they are for.
    ql::installWindowFonts();
    ::testing::AddGlobalTestEnvironment(new NoDesktop);
    return RUN_ALL_TESTS();
}
