// The seams that tests swap: the shell, the modal-dialog hook and the current prompts.
#include "Printers.h"
#include "platform/gui/RecordingShell.h"
#include "platform/gui/ScriptedUi.h"
#include "platform/gui/ShowModal.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using ql::DesktopShell;
using ql::RecordingShell;

TEST(Shell, TargetUrl_TellsWebAddressesFromFiles)
{
    const QString here = QDir::currentPath();
    const struct
    {
        QString target;
        QUrl expected;
    } cases[] = {
        { "https://example.com/a?b=1", QUrl("https://example.com/a?b=1") },
        { "mailto:me@example.com", QUrl("mailto:me@example.com") },
        { "file:///srv/notes.txt", QUrl("file:///srv/notes.txt") },
        { "www.example.com/x", QUrl("http://www.example.com/x") },
        { "WWW.Example.com", QUrl("http://WWW.Example.com") },
        { "ftp.example.com", QUrl("ftp://ftp.example.com") },
        { "/srv/lists/Plan 2024.ql1", QUrl::fromLocalFile("/srv/lists/Plan 2024.ql1") },
        { "notes #1.txt", QUrl::fromLocalFile(here + "/notes #1.txt") },
        { "C:\\notes.txt", QUrl::fromLocalFile(here + "/C:\\notes.txt") },
        { "", QUrl() },
        { "   ", QUrl() },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        EXPECT_EQ(DesktopShell::targetUrl(c.target), c.expected);
    }
}

TEST(Shell, Installed_RecordsInsteadOfLaunching)
{
    RecordingShell recorder;
    ql::Shell *previous = ql::Shell::install(&recorder);
    EXPECT_TRUE(ql::Shell::current().open(QStringLiteral("https://example.com")));
    recorder.setResult(false);
    EXPECT_FALSE(ql::Shell::current().explore(QStringLiteral("/srv/lists/")));
    ql::Shell::install(previous);

    const std::vector<RecordingShell::Call> expected = {
        { RecordingShell::Verb::Open, QStringLiteral("https://example.com") },
        { RecordingShell::Verb::Explore, QStringLiteral("/srv/lists/") },
    };
    EXPECT_EQ(recorder.calls(), expected);
    EXPECT_NE(&ql::Shell::current(), &recorder);
}

TEST(ShowModal, Hook_DrivesTheDialogAndGivesItsResult)
{
    QDialog dialog;
    auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);

    const QDialog *driven = nullptr;
    const ql::ModalHook previous = ql::setModalHook([&](QDialog &shown) {
        driven = &shown;
        ok->click();
        return shown.result();
    });
    EXPECT_EQ(ql::showModal(dialog), int(QDialog::Accepted));
    EXPECT_EQ(driven, &dialog);
    ql::setModalHook(previous);
}

TEST(ShowModal, WithoutHook_RunsTheDialogModally)
{
    const ql::ModalHook previous = ql::setModalHook({});
    QDialog dialog;
    bool wasModal = false;
    QTimer::singleShot(0, &dialog, [&] {
        wasModal = QApplication::activeModalWidget() == &dialog;
        dialog.done(7);
    });
    EXPECT_EQ(ql::showModal(dialog), 7);
    EXPECT_TRUE(wasModal);
    ql::setModalHook(previous);
}

TEST(ScriptedUi, AnswersInOrderAndCountsPromptsItHadNoAnswerFor)
{
    ql::ScriptedUi ui;
    ui.answerQuestion(ql::Answer::Yes);
    ui.answerInput(QString(300, u'x'));
    ui.answerSaveFile(QStringLiteral("Plan.ql1"));

    EXPECT_EQ(ui.question(QStringLiteral("Save changes ?")), ql::Answer::Yes);
    // Out of turn (the next scripted answer is for a save dialog): answered as Esc would answer.
    EXPECT_EQ(ui.input(QStringLiteral("Rename"), QStringLiteral("Enter new name"), QStringLiteral("old")),
        QString(255, u'x'));
    EXPECT_EQ(ui.openFile({}), QString());
    EXPECT_EQ(ui.question(QStringLiteral("Overwrite ?")), ql::Answer::No);
    EXPECT_EQ(ui.unanswered(), 2);
    EXPECT_EQ(ui.pendingAnswers(), 1u);
    EXPECT_EQ(ui.saveFile({ QStringLiteral("Save As"), {}, {}, {}, {} }), QStringLiteral("Plan.ql1"));
    EXPECT_EQ(ui.pendingAnswers(), 0u);

    ASSERT_EQ(ui.prompts().size(), 5u);
    const ql::ScriptedUi::Prompt &question = ui.prompts().front();
    EXPECT_EQ(question.caption, QStringLiteral("Quillon"));
    EXPECT_EQ(question.buttons, QStringList({ QStringLiteral("Yes"), QStringLiteral("No") }));
    EXPECT_EQ(question.defaultButton, QStringLiteral("Yes"));
    EXPECT_EQ(question.escapeButton, QStringLiteral("No"));
    EXPECT_EQ(ui.prompts()[1].caption, QStringLiteral("Rename"));
    EXPECT_EQ(ui.prompts()[1].initialText, QStringLiteral("old"));
    EXPECT_EQ(ui.prompts()[4].file.caption, QStringLiteral("Save As"));
}

} // namespace
