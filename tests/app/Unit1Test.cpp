// The main window and its file commands, driven through their handlers with scripted answers.
// No dialog is shown and nothing is launched.
#include "MainWindowFixture.h"

#include "app/DialogPickers.h"
#include "dialogs/uFrmProgress.h"
#include "dialogs/ufrmDateSelect.h"

#include "platform/gui/ShowModal.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <functional>

namespace {

using Kind = ql::ScriptedUi::Kind;
using ql::Answer;

class MainWindowTest : public MainWindowFixture
{
protected:
    // The tip a button shows when the pointer rests on it; empty when it shows none.
    static QString shownHint(QWidget *button)
    {
        // A tip fades out: wait until the last one is gone.
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        const QPoint at(5, 5);
        QHelpEvent rest(QEvent::ToolTip, at, button->mapToGlobal(at));
        QCoreApplication::sendEvent(button, &rest);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

    // The texts of the visible entries of a menu, "-" for a separator.
    static QStringList shownItems(const QMenu *menu)
    {
        QStringList items;
        for (const QAction *item : menu->actions())
            if (item->isVisible())
                items << (item->isSeparator() ? QStringLiteral("-") : item->text());
        return items;
    }

    // Clicks the tab at `index` as a user does.
    void clickTab(int index)
    {
        QTabBar *bar = tabs().tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
};

TEST_F(MainWindowTest, StartUp_ShowsBarsWithoutTabArea)
{
    main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon"));
    EXPECT_EQ(main().size(), QSize(1138, 622));
    EXPECT_EQ(main().palette().color(QPalette::Window), QColor(0xD0, 0xD0, 0xD8));
    EXPECT_FALSE(tabs().isVisible());
    EXPECT_TRUE(main().menuBar()->isVisible());
    for (const char *band : { "CoolBar2", "CoolBar1", "Panel1" })
        EXPECT_TRUE(main().findChild<QWidget *>(QString::fromLatin1(band))->isVisible()) << band;
    EXPECT_EQ(main().findChild<QWidget *>(QStringLiteral("CoolBar2"))->height(), 22);
    EXPECT_EQ(main().findChild<QWidget *>(QStringLiteral("CoolBar1"))->height(), 53);
    EXPECT_EQ(main().findChild<QWidget *>(QStringLiteral("Panel1"))->height(), 35);
    EXPECT_FALSE(main().Label5->isEnabled());
    EXPECT_EQ(main().Label5->font().pixelSize(), 12);
    EXPECT_NE(main().Label5->palette().color(QPalette::Disabled, QPalette::WindowText),
        main().Label5->palette().color(QPalette::Active, QPalette::WindowText));
}

TEST_F(MainWindowTest, Menus_CaptionsVisibilityAndMenuButtonRow)
{
    EXPECT_EQ(shownItems(main().File1),
        QStringList({ "New", "Open", "Reopen", "-", "Save", "Save As...", "Close", "Close All", "-", "Print",
            "-", "Exit" }));
    EXPECT_EQ(shownItems(main().Edit1), QStringList({ "Detail View", "Comments" }));
    EXPECT_FALSE(main().View1->menuAction()->isVisible());

    // The menu button row repeats every shown top-level item, and its button drops that menu down.
    QStringList buttons;
    for (QAction *slot : main().ToolBar3->actions()) {
        auto *button = qobject_cast<QToolButton *>(main().ToolBar3->widgetForAction(slot));
        if (slot->isVisible())
            buttons << button->text();
        EXPECT_EQ(button->height(), 21);
    }
    EXPECT_EQ(buttons, QStringList({ "File", "Edit", "Search", "Options", "Tools", "Help" }));
    auto *fileButton = main().findChild<QToolButton *>(QStringLiteral("File1Button"));
    EXPECT_EQ(fileButton->menu(), main().File1);
    EXPECT_EQ(fileButton->font().pixelSize(), 11);

    // F10 belongs to the Exit action and is not shown in the menu (KeysTest has the desktop's keys
    // that the menu items show).
    EXPECT_EQ(main().actExit->shortcut(), QKeySequence(Qt::Key_F10));
    for (QMenu *menu : main().menuBar()->findChildren<QMenu *>())
        for (const QAction *item : menu->actions())
            EXPECT_FALSE(item->shortcuts().contains(QKeySequence(Qt::Key_F10)))
                << item->objectName().toStdString();
}

TEST_F(MainWindowTest, ToolBar_ButtonsInOrder)
{
    struct Button
    {
        const char *name;
        QString caption;
        QString hint;
        bool enabled;
    };
    const Button expected[] = {
        { "ToolButton10", "New", "", true },
        { "ToolButton12", "Open", "", true },
        { "ToolButton4", "Reopen", "", true },
        { "tbSave", "Save", "", true },
        { "tbSaveAs", "Save As...", "", true },
        { "tbCloseTab", "Close List", "", true },
        { "tbPrint", "Print", "Print Document", true },
        { "tbImport", "Import Tasks", "Import Doc", true },
        { "ToolButton5", "Batch Insert", "", true },
        { "ToolButton6", "Categories", "", true },
        { "ToolButton22", "Exit", "", true },
    };
    QList<QToolButton *> shown;
    for (QAction *slot : main().ToolBar1->actions())
        if (auto *button = qobject_cast<QToolButton *>(main().ToolBar1->widgetForAction(slot)))
            shown << button;
    ASSERT_EQ(shown.size(), int(std::size(expected)));
    for (int i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(shown[i]->objectName(), QString::fromLatin1(expected[i].name));
        EXPECT_EQ(shown[i]->text(), expected[i].caption);
        EXPECT_EQ(shownHint(shown[i]), expected[i].hint);
        EXPECT_EQ(shown[i]->isEnabled(), expected[i].enabled);
        EXPECT_EQ(shown[i]->size(), QSize(69, 52));
        EXPECT_FALSE(shown[i]->icon().isNull());
        EXPECT_EQ(shown[i]->accessibleName(), expected[i].caption);
        EXPECT_EQ(shown[i]->font().pixelSize(), 11);
    }
}

// A screen reader can name every control a person can use, in the main window and in a list's
// frame: by its caption, the label beside it, or its hint.
TEST_F(MainWindowTest, EveryUsableControlHasAnAccessibleName)
{
    main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
    main().actNewExecute();
    QStringList unnamed;
    for (QWidget *widget : main().findChildren<QWidget *>()) {
        const bool usable = qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget)
            || qobject_cast<QComboBox *>(widget) || qobject_cast<QAbstractItemView *>(widget)
            || qobject_cast<QPlainTextEdit *>(widget) || qobject_cast<QTabBar *>(widget);
        // Parts of a composite control (the combo box's own line edit, a view's scroll buttons) are
        // named by the control they belong to.
        bool part = false;
        for (QWidget *up = widget->parentWidget(); up && !part; up = up->parentWidget())
            part = qobject_cast<QComboBox *>(up) || qobject_cast<QTabBar *>(up)
                || (up == widget->parentWidget() && qobject_cast<QAbstractScrollArea *>(up));
        if (!usable || part || widget->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QStringLiteral("%1 (%2)").arg(widget->objectName(), widget->metaObject()->className());
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QStringLiteral(", ")).toStdString();
}

TEST_F(MainWindowTest, New_AddsMarkedTabsAndSetsTitle)
{
    main().actNewExecute();
    EXPECT_FALSE(tabs().isHidden());
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - New"));
    main().actNewExecute();
    EXPECT_EQ(captions(), QStringList({ "New *", "New *" }));
    EXPECT_EQ(tabs().currentIndex(), 1);
    ql::TfrTasks *frame = main().ActiveTasksFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->IsNewList());
    EXPECT_TRUE(frame->ListFileName().isEmpty());
    EXPECT_FALSE(tabs().tabIcon(1).isNull());
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(MainWindowTest, Open_AsksThroughOpenDialogAndRemembersFile)
{
    const QString path = writeList(QStringLiteral("Plan.2024.ql1"), { QStringLiteral("Call Bob") });
    openList(path);

    ASSERT_EQ(m_ui.prompts().size(), 1u);
    const ql::FileDialogRequest &request = m_ui.prompts()[0].file;
    EXPECT_EQ(m_ui.prompts()[0].kind, Kind::OpenFile);
    EXPECT_EQ(request.caption, QStringLiteral("Open"));
    EXPECT_EQ(request.filter, QStringLiteral("Quillon File v1|*.ql1|All Files (*.*)|*.*"));
    EXPECT_EQ(request.defaultExtension, QStringLiteral("ql1"));
    EXPECT_EQ(request.initialFolder, ql::ProgramFolder::path());

    EXPECT_EQ(captions(), QStringList({ "Plan.2024" }));
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - Plan.2024"));
    EXPECT_EQ(main().ActiveTasksFrame()->ListFileName(), path);
    EXPECT_EQ(main().ActiveTasksFrame()->cdsTasks().RowCount(), 1);
    EXPECT_EQ(recentFiles(), QStringList({ path }));

    // The same file again gives a second, independent tab.
    openList(path);
    EXPECT_EQ(captions(), QStringList({ "Plan.2024", "Plan.2024" }));
    EXPECT_NE(main().tasksFrameAt(0), main().tasksFrameAt(1));
    EXPECT_EQ(recentFiles(), QStringList({ path }));
}

TEST_F(MainWindowTest, Open_CancelledChangesNothing)
{
    main().actOpenExecute();
    EXPECT_TRUE(tabs().isHidden());
    EXPECT_EQ(tabs().count(), 0);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon"));
    EXPECT_TRUE(recentFiles().isEmpty());
}

TEST_F(MainWindowTest, Open_UnreadableFileKeepsTabAndIsNotRemembered)
{
    const QString path = listPath(QStringLiteral("Broken.ql1"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?><DATAPACKET><METADATA>");
    }
    openList(path);
    EXPECT_EQ(errors().size(), 1);
    EXPECT_EQ(captions(), QStringList({ "Broken" }));
    EXPECT_TRUE(recentFiles().isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, Reopen_OpensChosenEntryWithItsOwnTitle)
{
    const QString path = writeList(QStringLiteral("Plan.ql1"));
    m_recent->AddToRecent(path);
    int shown = 0;
    const ql::ModalHook previous = ql::setModalHook([&](QDialog &dialog) {
        ++shown;
        EXPECT_EQ(&dialog, m_reOpen.get());
        m_reOpen->Button2Click(); // Open on the current (only) entry
        return dialog.result();
    });
    main().actReopenExecute();
    ql::setModalHook(previous);

    EXPECT_EQ(shown, 1);
    EXPECT_EQ(captions(), QStringList({ "Plan" }));
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon- Plan"));
    EXPECT_EQ(recentFiles(), QStringList({ path }));
}

TEST_F(MainWindowTest, Reopen_EntryWhoseFileIsGone_OpensNothing)
{
    const QString path = writeList(QStringLiteral("Gone.ql1"));
    m_recent->AddToRecent(path);
    ASSERT_TRUE(QFile::remove(path));
    const ql::ModalHook previous = ql::setModalHook([&](QDialog &dialog) {
        m_reOpen->Button2Click();
        return dialog.result();
    });
    main().actReopenExecute();
    ql::setModalHook(previous);
    EXPECT_EQ(errors(), QStringList({ "File does not exist in folder." }));
    EXPECT_EQ(tabs().count(), 0);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon"));
}

// File names may hold what tabs and window titles treat as marks: "&" (a mnemonic) and "[*]" (the
// modified mark). Both show as they are, and the questions name the list as it is.
TEST_F(MainWindowTest, OddFileNames_ShowAsTheyAre)
{
    main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
    openList(writeList(QStringLiteral("R&D [*].ql1")));
    EXPECT_EQ(captions(), QStringList({ "R&D [*]" }));
    EXPECT_EQ(tabs().tabText(0), QStringLiteral("R&&D [*]"));
    EXPECT_EQ(main().windowHandle()->title(), QStringLiteral("Quillon - R&D [*]"));

    typeTask(QStringLiteral("more"));
    EXPECT_EQ(captions(), QStringList({ "R&D [*] *" }));
    m_ui.clear();
    m_ui.answerQuestion(Answer::No);
    main().actExitExecute();
    EXPECT_EQ(questions(), QStringList({ "R&D [*] * - Save changes ?" }));
}

TEST_F(MainWindowTest, Reopen_CancelledChangesNothing)
{
    m_recent->AddToRecent(writeList(QStringLiteral("Plan.ql1")));
    const ql::ModalHook previous = ql::setModalHook([](QDialog &) { return int(QDialog::Rejected); });
    main().actReopenExecute();
    ql::setModalHook(previous);
    EXPECT_EQ(tabs().count(), 0);
    EXPECT_TRUE(tabs().isHidden());
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon"));
}

TEST_F(MainWindowTest, CommandsOnActiveList_WithoutTab_FailWithGuard)
{
    for (auto handler :
        { &ql::TfrmMain::actSaveExecute, &ql::TfrmMain::actSaveAsExecute, &ql::TfrmMain::actCloseExecute }) {
        m_ui.clear();
        (main().*handler)();
        EXPECT_EQ(errors(), QStringList({ "Open or create a list first!" }));
        EXPECT_EQ(m_ui.prompts().size(), 1u);
    }
    m_ui.clear();
    main().CloseAll1Click();
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(MainWindowTest, Save_NewListRunsSaveAs)
{
    main().actNewExecute();
    typeTask(QStringLiteral("Buy milk"));
    const QString path = listPath(QStringLiteral("Plan.ql1"));
    m_ui.answerSaveFile(path);
    main().actSaveExecute();

    ASSERT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(m_ui.prompts()[0].kind, Kind::SaveFile);
    EXPECT_EQ(m_ui.prompts()[0].file.caption, QStringLiteral("Save As"));
    EXPECT_EQ(m_ui.prompts()[0].file.filter, QStringLiteral("Quillon|*.ql1|All Files (*.*)|*.*"));
    EXPECT_EQ(m_ui.prompts()[0].file.defaultExtension, QStringLiteral("ql1"));
    EXPECT_TRUE(m_ui.prompts()[0].file.initialFolder.isEmpty());

    EXPECT_EQ(tasksIn(path), QStringList({ "Buy milk" }));
    ql::TfrTasks *frame = main().ActiveTasksFrame();
    EXPECT_EQ(frame->ListFileName(), path);
    EXPECT_FALSE(frame->Modified());
    EXPECT_TRUE(frame->IsNewList());
    EXPECT_EQ(captions(), QStringList({ "Plan" }));
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - New"));
    EXPECT_EQ(recentFiles(), QStringList({ path }));
}

TEST_F(MainWindowTest, SaveAs_ExistingFile_AsksBeforeOverwriting)
{
    for (const Answer answer : { Answer::No, Answer::Yes }) {
        SCOPED_TRACE(answer == Answer::Yes ? "Yes" : "No");
        m_ui.clear();
        const QString original = writeList(QStringLiteral("Plan.ql1"), { QStringLiteral("Old") });
        const QString target = writeList(QStringLiteral("Copy.ql1"), { QStringLiteral("Kept") });
        const QByteArray before = readAll(target);
        openList(original);
        typeTask(QStringLiteral("New task"));
        m_ui.answerSaveFile(target);
        m_ui.answerQuestion(answer);
        main().actSaveAsExecute();

        ASSERT_EQ(questions(), QStringList({ "File already exists! Overwrite ?" }));
        const auto &question = m_ui.prompts().back();
        EXPECT_EQ(question.caption, QStringLiteral("Quillon"));
        EXPECT_EQ(question.buttons, QStringList({ "Yes", "No" }));
        EXPECT_EQ(question.defaultButton, QStringLiteral("Yes"));
        EXPECT_EQ(question.escapeButton, QStringLiteral("No"));

        ql::TfrTasks *frame = main().ActiveTasksFrame();
        if (answer == Answer::No) {
            EXPECT_EQ(readAll(target), before);
            EXPECT_TRUE(frame->Modified());
            EXPECT_EQ(frame->ListFileName(), original);
            EXPECT_EQ(tabs().tabText(tabs().currentIndex()), QStringLiteral("Plan *"));
        } else {
            EXPECT_EQ(tasksIn(target), QStringList({ "Old", "New task" }));
            EXPECT_FALSE(frame->Modified());
            EXPECT_EQ(frame->ListFileName(), target);
            EXPECT_EQ(tabs().tabText(tabs().currentIndex()), QStringLiteral("Copy"));
            EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - Plan"));
            // A later Save goes to the new file.
            typeTask(QStringLiteral("Third"));
            main().actSaveExecute();
            EXPECT_EQ(tasksIn(target), QStringList({ "Old", "New task", "Third" }));
            EXPECT_EQ(tasksIn(original), QStringList({ "Old" }));
        }
    }
}

TEST_F(MainWindowTest, Save_WriteFails_ListStaysUnsavedAndUnremembered)
{
    main().actNewExecute();
    typeTask(QStringLiteral("New task"));
    const QString path = listPath(QStringLiteral("Plan.ql1"));
    m_ui.answerSaveFile(path);
    ql::FileFaults::inject(ql::FileFault::FailsHalfway);
    main().actSaveExecute();
    ql::FileFaults::clear();

    EXPECT_EQ(errors().size(), 1);
    EXPECT_FALSE(QFile::exists(path));
    ql::TfrTasks *frame = main().ActiveTasksFrame();
    EXPECT_TRUE(frame->Modified());
    EXPECT_TRUE(frame->ListFileName().isEmpty());
    EXPECT_EQ(captions(), QStringList({ "New *" }));
    EXPECT_TRUE(recentFiles().isEmpty());
}

// A small list is written in one piece at the very end; when that final flush fails (a full disk),
// the file on disk is the old one, byte for byte, and the tab still shows the list unsaved.
TEST_F(MainWindowTest, Save_FinalFlushFails_KeepsTheOldFileAndTheUnsavedMark)
{
    const QString path = writeList(QStringLiteral("Plan.ql1"));
    const QByteArray old = readAll(path);
    openList(path);
    typeTask(QStringLiteral("Second task"));
    ql::FileFaults::inject(ql::FileFault::FailsAtFlush);
    main().actSaveExecute();
    ql::FileFaults::clear();

    EXPECT_EQ(errors(),
        QStringList {
            QStringLiteral("Error writing file \"%1\". The disk is full (no space left on device); the "
                           "previous file was kept unchanged.")
                .arg(path) });
    EXPECT_EQ(readAll(path), old);
    EXPECT_TRUE(main().ActiveTasksFrame()->Modified());
    EXPECT_EQ(captions(), QStringList({ "Plan *" }));
}

// Every list's Set Progress and Set Date show the program's two picker dialogs.
TEST_F(MainWindowTest, NewList_SetProgressAndSetDateShowThePickerDialogs)
{
    ql::TfrmProgress progress(m_main.get());
    ql::TfrmDateSelect dates(m_main.get());
    ql::DialogPickers pickers(progress, dates);
    main().setPickers(&pickers);
    main().actNewExecute();
    typeTask(QStringLiteral("Paint the fence"));
    std::vector<QDialog *> shown;
    const ql::ModalHook previous = ql::setModalHook([&](QDialog &dialog) {
        shown.push_back(&dialog);
        if (&dialog == &progress) {
            progress.Button3->click(); // 50%
        } else {
            dates.cboDateField->setCurrentIndex(2);
            dates.MonthCalendar1->setSelectedDate(QDate(2026, 4, 1));
            dates.Button1->click();
        }
        return dialog.result();
    });
    ql::TfrTasks *frame = main().ActiveTasksFrame();
    frame->findChild<QAction *>(QStringLiteral("Progress1"))->trigger();
    frame->findChild<QAction *>(QStringLiteral("SetDates1"))->trigger();
    ql::setModalHook(previous);

    EXPECT_EQ(shown, (std::vector<QDialog *> { &progress, &dates }));
    const ql::ClientTable &table = frame->cdsTasks();
    EXPECT_EQ(table.AsInteger(QStringLiteral("Progress")), 50);
    EXPECT_EQ(table.AsDateTime(QStringLiteral("DueDate")).date(), QDate(2026, 4, 1));
    main().setPickers(nullptr);
}

// Close: a modified list is offered for saving, whether it began new or came from a file.
TEST_F(MainWindowTest, Close_ModifiedList_AsksSaveChanges)
{
    struct Case
    {
        const char *name;
        bool fromFile;
        Answer answer;
    };
    for (const Case &c : { Case { "new, No", false, Answer::No }, Case { "new, Yes", false, Answer::Yes },
             Case { "from file, No", true, Answer::No }, Case { "from file, Yes", true, Answer::Yes } }) {
        SCOPED_TRACE(c.name);
        main().CloseAll1Click(); // nothing modified is left open by the previous case
        m_ui.clear();
        const QString path = writeList(QStringLiteral("Plan.ql1"), { QStringLiteral("Old") });
        const QByteArray before = readAll(path);
        if (c.fromFile)
            openList(path);
        else
            main().actNewExecute();
        typeTask(QStringLiteral("New task"));
        m_ui.answerQuestion(c.answer);
        if (!c.fromFile)
            m_ui.answerSaveFile(listPath(QStringLiteral("Fresh.ql1")));
        main().actCloseExecute();

        ASSERT_EQ(questions(), QStringList({ "Save changes ?" }));
        if (c.answer == Answer::No) {
            EXPECT_EQ(tabs().count(), 0);
            EXPECT_EQ(readAll(path), before);
            continue;
        }
        // Yes saves (a new list through the save dialog) and keeps the tab open; a second Close
        // then closes it without a question.
        ASSERT_EQ(tabs().count(), 1);
        EXPECT_FALSE(main().ActiveTasksFrame()->Modified());
        const QString saved = c.fromFile ? path : listPath(QStringLiteral("Fresh.ql1"));
        EXPECT_EQ(tasksIn(saved).constLast(), QStringLiteral("New task"));
        EXPECT_EQ(captions(), QStringList({ c.fromFile ? "Plan" : "Fresh" }));
        main().actCloseExecute();
        EXPECT_EQ(questions().size(), 1);
        EXPECT_EQ(tabs().count(), 0);
    }
}

TEST_F(MainWindowTest, Close_UnchangedList_ClosesWithoutQuestionAndSelectsLeftTab)
{
    QStringList paths;
    for (const char *name : { "T1", "T2", "T3", "T4", "T5" })
        paths << writeList(QString::fromLatin1(name) + QStringLiteral(".ql1"));
    for (const QString &path : paths)
        openList(path);
    m_ui.clear();

    tabs().setCurrentIndex(2);
    main().actCloseExecute();
    EXPECT_EQ(captions(), QStringList({ "T1", "T2", "T4", "T5" }));
    EXPECT_EQ(tabs().tabText(tabs().currentIndex()), QStringLiteral("T2"));

    tabs().setCurrentIndex(0);
    main().actCloseExecute();
    EXPECT_EQ(tabs().tabText(tabs().currentIndex()), QStringLiteral("T2"));
    EXPECT_TRUE(m_ui.prompts().empty());

    const QString title = main().windowTitle();
    while (tabs().count() > 0)
        main().actCloseExecute();
    EXPECT_FALSE(tabs().isHidden());
    EXPECT_EQ(tabs().currentIndex(), -1);
    EXPECT_EQ(main().windowTitle(), title);
}

TEST_F(MainWindowTest, CloseAll_WritesModifiedListsWithoutAsking)
{
    QStringList paths;
    for (const char *name : { "A", "B", "C" }) {
        paths << writeList(QString::fromLatin1(name) + QStringLiteral(".ql1"), { QStringLiteral("Old") });
        openList(paths.constLast());
        typeTask(QString::fromLatin1(name) + QStringLiteral(" new"));
    }
    m_ui.clear();
    const QString title = main().windowTitle();
    main().CloseAll1Click();
    EXPECT_TRUE(m_ui.prompts().empty());
    EXPECT_EQ(tabs().count(), 0);
    EXPECT_EQ(main().windowTitle(), title);
    EXPECT_EQ(tasksIn(paths[0]), QStringList({ "Old", "A new" }));
    EXPECT_EQ(tasksIn(paths[2]), QStringList({ "Old", "C new" }));
}

TEST_F(MainWindowTest, CloseAll_NeverSavedList_StopsAtItsTab)
{
    openList(writeList(QStringLiteral("A.ql1")));
    main().actNewExecute();
    typeTask(QStringLiteral("Unsaved"));
    openList(writeList(QStringLiteral("C.ql1")));
    m_ui.clear();

    main().CloseAll1Click();
    ASSERT_EQ(errors().size(), 1);
    // The list has no file to write to: the message names it and says what to do.
    EXPECT_EQ(errors().front(),
        QStringLiteral(
            "The list \"New\" has never been saved: save it with Save As first. Close All stopped at its "
            "tab."));
    EXPECT_EQ(captions(), QStringList({ "A", "New *" }));
}

TEST_F(MainWindowTest, Exit_AsksPerModifiedListInTabOrder)
{
    const QString a = writeList(QStringLiteral("A.ql1"), { QStringLiteral("Old") });
    const QString b = writeList(QStringLiteral("B.ql1"), { QStringLiteral("Old") });
    openList(a);
    typeTask(QStringLiteral("more"));
    openList(writeList(QStringLiteral("Unchanged.ql1")));
    openList(b);
    typeTask(QStringLiteral("more"));
    main().show();
    m_ui.clear();

    m_ui.answerQuestion(Answer::No);
    m_ui.answerQuestion(Answer::Yes);
    main().actExitExecute();
    EXPECT_EQ(questions(), QStringList({ "A * - Save changes ?", "B * - Save changes ?" }));
    EXPECT_EQ(tasksIn(a), QStringList({ "Old" }));
    EXPECT_EQ(tasksIn(b), QStringList({ "Old", "more" }));
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(recentFiles().count(b), 1);
}

TEST_F(MainWindowTest, Exit_NewList_SaveDialogAndOverwriteQuestion)
{
    const QString existing = writeList(QStringLiteral("Taken.ql1"), { QStringLiteral("Kept") });
    const QByteArray before = readAll(existing);
    struct Case
    {
        const char *name;
        QString chosen;
        bool overwrite;
        bool closes;
        bool writeFails = false;
    };
    const Case cases[] = {
        { "dialog cancelled", QString(), false, false },
        { "existing file, No", existing, false, false },
        { "existing file, Yes", existing, true, true },
        { "fresh file", listPath(QStringLiteral("Fresh.ql1")), false, true },
        // A failed write shows the error and ends the pass with the program open.
        { "write fails", listPath(QStringLiteral("Failing.ql1")), false, false, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_main = std::make_unique<ql::TfrmMain>();
        m_main->setRecentStore(m_recent.get());
        m_main->setCategoryList(&m_categoryList);
        m_main->setReOpenDialog(m_reOpen.get());
        main().show();
        main().actNewExecute();
        typeTask(QStringLiteral("Plan it"));
        m_ui.clear();
        m_ui.answerQuestion(Answer::Yes);
        m_ui.answerSaveFile(c.chosen);
        if (c.chosen == existing)
            m_ui.answerQuestion(c.overwrite ? Answer::Yes : Answer::No);
        if (c.writeFails)
            ql::FileFaults::inject(ql::FileFault::CannotCreate);
        main().actExitExecute();
        ql::FileFaults::clear();
        EXPECT_EQ(errors().size(), c.writeFails ? 1 : 0);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(main().ActiveTasksFrame()->Modified(), !c.closes);

        QStringList expected = { "New * - Save changes ?" };
        if (c.chosen == existing)
            expected << "File already exists! Overwrite ?";
        EXPECT_EQ(questions(), expected);
        EXPECT_EQ(saveDialogs(), 1);
        EXPECT_EQ(main().isVisible(), !c.closes);
        EXPECT_EQ(tabs().count(), 1);
        if (c.closes) {
            EXPECT_EQ(tasksIn(c.chosen), QStringList({ "Plan it" }));
        } else if (c.writeFails) {
            EXPECT_FALSE(QFileInfo::exists(c.chosen));
        } else {
            EXPECT_EQ(readAll(existing), before);
        }
    }
}

TEST_F(MainWindowTest, WindowFrameClose_RunsSavePassOnce)
{
    main().show();
    main().actNewExecute();
    typeTask(QStringLiteral("Plan it"));
    m_ui.clear();

    // Closing by the frame offers the list; a cancelled save dialog keeps the window open.
    m_ui.answerQuestion(Answer::Yes);
    EXPECT_FALSE(main().close());
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(questions(), QStringList({ "New * - Save changes ?" }));
    EXPECT_EQ(saveDialogs(), 1);

    // Declining the save lets it close.
    m_ui.clear();
    m_ui.answerQuestion(Answer::No);
    EXPECT_TRUE(main().close());
    EXPECT_EQ(questions().size(), 1);

    // After Exit's own pass the close that follows asks nothing more.
    main().show();
    m_ui.clear();
    m_ui.answerQuestion(Answer::No);
    main().actExitExecute();
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(questions().size(), 1);
    EXPECT_EQ(m_ui.unanswered(), 0);
}

TEST_F(MainWindowTest, TabChange_ByUserSetsTitle_ByCodeDoesNot)
{
    const QString plan = writeList(QStringLiteral("Plan.2024.ql1"));
    main().resize(1138, 622);
    main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
    openList(plan);
    main().actNewExecute();
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - New"));

    clickTab(0);
    EXPECT_EQ(tabs().currentIndex(), 0);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - Plan.2024"));
    clickTab(1);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - "));

    // Ctrl+Tab in a control that does not use Tab selects the next tab, wrapping around.
    auto *edit = main().ActiveTasksFrame()->findChild<QLineEdit *>(QStringLiteral("Edit2"));
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabs().currentIndex(), 0);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - Plan.2024"));
    edit = main().ActiveTasksFrame()->findChild<QLineEdit *>(QStringLiteral("Edit2"));
    QTest::keyClick(edit, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tabs().currentIndex(), 1);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - "));
}

// The tab popup's items act on the active tab.
TEST_F(MainWindowTest, TabPopup_ExplorerPathAndCloseTab)
{
    auto item = [this](const char *name) {
        return main().pmTabRightClick->findChild<QAction *>(QString::fromLatin1(name));
    };
    EXPECT_EQ(shownItems(main().pmTabRightClick), QStringList({ "Close Tab", "Explorer Path" }));

    item("Showpath1")->trigger();
    EXPECT_TRUE(m_shell.calls().empty());

    openList(writeList(QStringLiteral("A.ql1")));
    openList(writeList(QStringLiteral("B.ql1")));
    item("Showpath1")->trigger();
    ASSERT_EQ(m_shell.calls().size(), 1u);
    EXPECT_EQ(m_shell.calls()[0].verb, ql::RecordingShell::Verb::Explore);
    EXPECT_EQ(m_shell.calls()[0].target, listPath(QString())); // with its trailing separator

    item("CloseTab1")->trigger();
    EXPECT_EQ(captions(), QStringList({ "A" }));
}

// A linked list opens in a new tab and names the title, without entering the recent files.
TEST_F(MainWindowTest, OpenListFile_AddsTabWithoutRememberingIt)
{
    const QString path = writeList(QStringLiteral("Linked.ql1"));
    main().OpenListFile(path);
    EXPECT_FALSE(tabs().isHidden());
    EXPECT_EQ(captions(), QStringList({ "Linked" }));
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - Linked"));
    EXPECT_TRUE(recentFiles().isEmpty());

    // A path where no file exists gives an empty tab and no message.
    main().OpenListFile(listPath(QStringLiteral("Gone.ql1")));
    EXPECT_EQ(captions(), QStringList({ "Linked", "Gone" }));
    EXPECT_FALSE(main().ActiveTasksFrame()->cdsTasks().Active());
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(MainWindowTest, NewList_GetsCategoryListAsItIsNow)
{
    auto *mCats = m_categories->findChild<QPlainTextEdit *>(QStringLiteral("mCats"));
    mCats->setPlainText(QStringLiteral("Home\nWork\n"));
    main().actNewExecute();
    mCats->setPlainText(QStringLiteral("Garden"));
    main().actNewExecute();

    auto items = [](ql::TfrTasks *frame) {
        QStringList texts;
        for (int i = 0; i < frame->cbCat->count(); ++i)
            texts << frame->cbCat->itemText(i);
        return texts;
    };
    EXPECT_EQ(items(main().tasksFrameAt(0)), QStringList({ "Home", "Work" }));
    EXPECT_EQ(items(main().tasksFrameAt(1)), QStringList({ "Garden" }));

    // The box offers the categories but chooses none: a quick-added task gets no category unless
    // the user picks one, in a new list as in an opened one.
    openList(writeList(QStringLiteral("Plan.ql1")));
    for (int tab = 0; tab < 3; ++tab)
        EXPECT_EQ(main().tasksFrameAt(tab)->cbCat->currentText(), QString()) << tab;
    typeTask(QStringLiteral("Rake leaves"));
    EXPECT_EQ(main().ActiveTasksFrame()->cdsTasks().AsText(QStringLiteral("Category")), QString());
}

// Text typed right after New, Open or Reopen goes into the new list's entry box, on every tab.
TEST_F(MainWindowTest, NewTab_HasTheFocusInItsEntryBox)
{
    main().show();
    const QString plan = writeList(QStringLiteral("Plan.ql1"));
    const std::function<void()> commands[] = {
        [&] { main().actNewExecute(); },
        [&] { main().actNewExecute(); },
        [&] { openList(plan); },
        [&] { main().OpenListFile(plan); },
    };
    for (const auto &command : commands) {
        command();
        ql::TfrTasks *frame = main().ActiveTasksFrame();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(main().focusWidget(), frame->findChild<QLineEdit *>(QStringLiteral("Edit2")))
            << tabs().count();
    }
}

} // namespace

// A task's linked list opens on a new tab each time, whether or not it is open already, and the
// file does not join the recent files.
TEST_F(MainWindowTest, OpenLinkedTaskList_OpensTheListOnANewTab)
{
    const QString other = writeList(QStringLiteral("Other.ql1"), { QStringLiteral("Elsewhere") });
    openList(writeList(QStringLiteral("Plan.ql1")));
    ql::TfrTasks *plan = main().ActiveTasksFrame();
    ASSERT_NE(plan, nullptr);
    plan->cdsTasks().EditRow();
    plan->cdsTasks().SetText(QStringLiteral("LinkedList"), QStringLiteral(" ") + other + QStringLiteral(" "));
    plan->cdsTasks().PostRow();
    const QStringList recentBefore = recentFiles();

    plan->OpenLinkedTaskList1Click();
    main().PageControl1->setCurrentIndex(0);
    plan->OpenLinkedTaskList1Click();
    EXPECT_EQ(captions(),
        (QStringList { QStringLiteral("Plan *"), QStringLiteral("Other"), QStringLiteral("Other") }));
    EXPECT_EQ(tabs().currentIndex(), 2);
    EXPECT_EQ(
        main().ActiveTasksFrame()->cdsTasks().AsText(QStringLiteral("Task")), QStringLiteral("Elsewhere"));
    EXPECT_EQ(recentFiles(), recentBefore);
}
