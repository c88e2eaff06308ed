// The window and the file of a list: another program (a real quillon-cli process) changes the file
// while the list is open, and files that cannot be read or must not be written.
#include "MainWindowFixture.h"

#include "SpecialFiles.h"

#include <QProcess>
#include <sys/stat.h>

namespace {

using Kind = ql::ScriptedUi::Kind;
using ql::Answer;

class ListFileSafetyTest : public MainWindowFixture
{
protected:
    // Another program changes the list: quillon-cli, as a process of its own.
    static void runCli(const QStringList &args)
    {
        QProcess cli;
        cli.start(QStringLiteral(QUILLON_CLI), args);
        ASSERT_TRUE(cli.waitForFinished(60000));
        ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    }

    // The Status of each task of a list file, by ID: "1=Complete 2=..." ("-" when empty).
    static QString statusesIn(const QString &path)
    {
        ql::ClientTable table;
        table.ReadFromFile(path);
        return statusesOf(table);
    }
    static QString statusesOf(const ql::ClientTable &table)
    {
        const ql::Field &id = table.RequireField(QStringLiteral("ID"));
        const ql::Field &status = table.RequireField(QStringLiteral("Status"));
        QStringList texts;
        for (int row = 1; row <= table.RowCount(); ++row) {
            const ql::Value value = table.ViewValue(row, status);
            texts << QStringLiteral("%1=%2")
                         .arg(table.ViewValue(row, id).toInteger())
                         .arg(value.isNull() ? QStringLiteral("-") : value.text());
        }
        return texts.join(u' ');
    }

    ql::TfrTasks &frame() { return *main().ActiveTasksFrame(); }

    QString changedText(const QString &path) const
    {
        return QStringLiteral(
            "The file \"%1\" was changed on disk since this list was opened or saved. Saving "
            "would lose that change, so nothing was written.\n\nSave the list under another "
            "name, or reload the file?")
            .arg(path);
    }

    QStringList choices() const { return promptTexts(Kind::Choice); }

    // Opens Plan.ql1 (tasks one, two, three), lets quillon-cli complete task 2 in the file, and adds
    // a task in the window; the cursor is then on task 3.
    QString openAndChangeOnBothSides()
    {
        const QString path = writeList(QStringLiteral("Plan.ql1"),
            { QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three") });
        openList(path);
        runCli({ QStringLiteral("do"), path, QStringLiteral("2"), QStringLiteral("complete") });
        typeTask(QStringLiteral("typed in the window"));
        EXPECT_TRUE(frame().cdsTasks().LocateRow(QStringLiteral("ID"), ql::Value::integer(3)));
        m_ui.clear();
        return path;
    }
};

// Save once wrote the window's version over the file and lost the other program's change without a
// word. Now it writes nothing, says so, and offers Save As, Reload or Cancel.
TEST_F(ListFileSafetyTest, Save_FileChangedByAnotherProgram_WritesNothingAndOffersSaveAsOrReload)
{
    const struct
    {
        const char *name;
        QString choice;
        std::optional<Answer> reloadAnswer; // the question Reload asks about the unsaved changes
    } cases[] = {
        { "Cancel", QStringLiteral("Cancel"), std::nullopt },
        { "Reload, declined", QStringLiteral("Reload"), Answer::No },
        { "Reload", QStringLiteral("Reload"), Answer::Yes },
        { "Save As", QStringLiteral("Save As..."), std::nullopt },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = openAndChangeOnBothSides();
        const QByteArray changed = readAll(path);
        const QString copy = listPath(QStringLiteral("Copy.ql1"));
        QFile::remove(copy);
        m_ui.answerChoice(c.choice);
        if (c.reloadAnswer)
            m_ui.answerQuestion(*c.reloadAnswer);
        if (c.choice == QLatin1String("Save As..."))
            m_ui.answerSaveFile(copy);
        main().actSaveExecute();

        ASSERT_EQ(choices(), QStringList { changedText(path) });
        const auto &choice = m_ui.prompts().front();
        EXPECT_EQ(choice.buttons, QStringList({ "Save As...", "Reload", "Cancel" }));
        EXPECT_EQ(choice.icon, ql::ScriptedUi::Icon::Warning);
        EXPECT_TRUE(errors().isEmpty());
        EXPECT_EQ(m_ui.unanswered(), 0);
        // The other program's change is still in the file, whatever the answer.
        EXPECT_EQ(readAll(path), changed);
        EXPECT_EQ(statusesIn(path), QStringLiteral("1=- 2=Complete 3=-"));

        if (c.reloadAnswer) {
            EXPECT_EQ(questions(),
                QStringList {
                    QStringLiteral("Reload \"%1\" and lose the changes made to this list?").arg(path) });
        }
        if (c.reloadAnswer == Answer::Yes) {
            // The tab shows the file as it is now, on the task it was on, without unsaved changes.
            EXPECT_EQ(statusesOf(frame().cdsTasks()), QStringLiteral("1=- 2=Complete 3=-"));
            EXPECT_EQ(frame().cdsTasks().AsInteger(QStringLiteral("ID")), 3);
            EXPECT_FALSE(frame().Modified());
            EXPECT_EQ(captions(), QStringList({ "Plan" }));
            EXPECT_EQ(frame().statusPanelText(1), QStringLiteral("Reloaded"));
            // From now on Save writes over the version the tab holds.
            typeTask(QStringLiteral("after the reload"));
            m_ui.clear();
            main().actSaveExecute();
            EXPECT_TRUE(m_ui.prompts().empty());
            EXPECT_EQ(tasksIn(path), QStringList({ "one", "two", "three", "after the reload" }));
            EXPECT_EQ(statusesIn(path), QStringLiteral("1=- 2=Complete 3=- 4=Not Started"));
        } else if (c.choice == QLatin1String("Save As...")) {
            EXPECT_EQ(tasksIn(copy), QStringList({ "one", "two", "three", "typed in the window" }));
            EXPECT_EQ(frame().ListFileName(), copy);
            EXPECT_FALSE(frame().Modified());
            EXPECT_EQ(captions(), QStringList({ "Copy" }));
        } else {
            EXPECT_TRUE(frame().Modified());
            EXPECT_EQ(captions(), QStringList({ "Plan *" }));
            EXPECT_EQ(tasksIn(frame().ListFileName()), QStringList({ "one", "two", "three" }));
        }
        while (tabs().count() > 0)
            delete tabs().widget(0);
        m_ui.clear();
    }
}

// The tab remembers the file as it last wrote it: its own saves are no change, the next save of
// another program is.
TEST_F(ListFileSafetyTest, Save_AfterItsOwnSave_NoticesTheNextChangeOnDisk)
{
    const QString path
        = writeList(QStringLiteral("Plan.ql1"), { QStringLiteral("one"), QStringLiteral("two") });
    openList(path);
    typeTask(QStringLiteral("first"));
    m_ui.clear();
    main().actSaveExecute();
    typeTask(QStringLiteral("second"));
    main().actSaveExecute();
    EXPECT_TRUE(m_ui.prompts().empty());
    EXPECT_EQ(tasksIn(path), QStringList({ "one", "two", "first", "second" }));

    // A rewrite with the very same bytes loses nothing, so it is no change either.
    runCli({ QStringLiteral("copy"), path, path });
    typeTask(QStringLiteral("third"));
    main().actSaveExecute();
    EXPECT_TRUE(m_ui.prompts().empty());

    runCli({ QStringLiteral("do"), path, QStringLiteral("1"), QStringLiteral("complete") });
    typeTask(QStringLiteral("fourth"));
    m_ui.answerChoice(QStringLiteral("Cancel"));
    main().actSaveExecute();
    EXPECT_EQ(choices(), QStringList { changedText(path) });
    EXPECT_EQ(statusesIn(path), QStringLiteral("1=Complete 2=- 3=Not Started 4=Not Started 5=Not Started"));
}

// Close All and the Exit pass write modified lists; for a file changed on disk they make the same
// offer, and Cancel stops them there with the list still open and the file as the other program
// left it.
TEST_F(ListFileSafetyTest, CloseAllAndExit_FileChangedOnDisk_CancelStopsThemAtThatList)
{
    for (const bool exit : { false, true }) {
        SCOPED_TRACE(exit ? "Exit" : "Close All");
        const QString path = openAndChangeOnBothSides();
        const QByteArray changed = readAll(path);
        main().show();
        if (exit)
            m_ui.answerQuestion(Answer::Yes); // "Plan * - Save changes ?"
        m_ui.answerChoice(QStringLiteral("Cancel"));
        if (exit)
            main().actExitExecute();
        else
            main().CloseAll1Click();

        EXPECT_EQ(choices(), QStringList { changedText(path) });
        EXPECT_TRUE(errors().isEmpty());
        EXPECT_EQ(readAll(path), changed);
        EXPECT_EQ(captions(), QStringList({ "Plan *" }));
        EXPECT_TRUE(main().isVisible());
        m_ui.clear();
        // Reload makes the list the file's again; Close All then closes it.
        m_ui.answerChoice(QStringLiteral("Reload"));
        m_ui.answerQuestion(Answer::Yes);
        main().CloseAll1Click();
        EXPECT_EQ(tabs().count(), 0);
        EXPECT_EQ(readAll(path), changed);
        m_ui.clear();
    }
}

// A named pipe (or a link to a device) once made Open and Import wait forever; now the reason is
// shown at once and nothing else changes.
TEST_F(ListFileSafetyTest, OpenAndImport_SpecialFile_ShowTheReasonAtOnce)
{
    const QString pipe = listPath(QStringLiteral("pipe.ql1"));
    ASSERT_TRUE(testing_fs::makeNamedPipe(pipe));
    const QString reason
        = QStringLiteral("Cannot open file \"%1\". It is a named pipe, not a regular file.").arg(pipe);

    openList(pipe);
    EXPECT_EQ(errors(), QStringList { reason });
    EXPECT_TRUE(recentFiles().isEmpty());

    const QString list = writeList(QStringLiteral("Plan.ql1"));
    openList(list);
    m_ui.clear();
    m_ui.answerOpenFile(pipe);
    main().tbImportClick();
    EXPECT_EQ(errors(), QStringList { reason });
    EXPECT_EQ(frame().cdsTasks().RowCount(), 1);
    EXPECT_FALSE(frame().Modified());
    EXPECT_EQ(testing_fs::nodeAt(pipe).type, mode_t(S_IFIFO));
}

// A list file the user may not write, or a save target that is not a regular file, is refused with
// its reason; the list stays unsaved and the file stays as it was.
TEST_F(ListFileSafetyTest, Save_ReadOnlyOrSpecialFile_IsRefusedAndTheListStaysUnsaved)
{
    const QString path = writeList(QStringLiteral("Plan.ql1"));
    openList(path);
    typeTask(QStringLiteral("more"));
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    const QByteArray old = readAll(path);
    m_ui.clear();
    main().actSaveExecute();
    EXPECT_EQ(errors(), QStringList { QStringLiteral("The file \"%1\" is read-only.").arg(path) });
    EXPECT_EQ(readAll(path), old);
    EXPECT_TRUE(frame().Modified());

    const QString pipe = listPath(QStringLiteral("pipe.ql1"));
    ASSERT_TRUE(testing_fs::makeNamedPipe(pipe));
    const testing_fs::Node before = testing_fs::nodeAt(pipe);
    m_ui.clear();
    m_ui.answerSaveFile(pipe);
    m_ui.answerQuestion(Answer::Yes); // "File already exists! Overwrite ?"
    main().actSaveAsExecute();
    EXPECT_EQ(errors(),
        QStringList { QStringLiteral(
            "Cannot write file \"%1\". It is a named pipe, not a regular file; nothing was written.")
                          .arg(pipe) });
    EXPECT_EQ(testing_fs::nodeAt(pipe), before);
    EXPECT_TRUE(frame().Modified());
    EXPECT_EQ(frame().ListFileName(), path);
}

} // namespace
