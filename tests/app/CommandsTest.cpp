// The command tables of the main window and of a list's frame, walked row by row against the
// controls built from them: every command is where its row says, runs what its row says, and has
// the keys its row gives it.
#include "MainWindowFixture.h"

#include "tasks/TaskGrid.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>

namespace {

class CommandsTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        showWithNewList();
        if (HasFatalFailure())
            return;
        frame = main().ActiveTasksFrame();
        ASSERT_NE(frame, nullptr);
    }

    // The control of one row, as a user reaches it: the item of its menu, or the action its tool
    // button runs. Null when the control is not there.
    template <typename Owner, typename Icon>
    QAction *controlOf(
        Owner &owner, QToolBar *toolBar, const ql::Command<Owner, Icon> &row, QToolButton **button)
    {
        const QString name = QString::fromLatin1(row.name);
        switch (row.place) {
        case ql::CommandPlace::Action:
            return owner.*row.shared;
        case ql::CommandPlace::Menu:
        case ql::CommandPlace::Popup:
            for (QAction *item : (owner.*row.menu)->actions())
                if (item->objectName() == name)
                    return item;
            return nullptr;
        case ql::CommandPlace::ToolBar:
            *button = toolBar->findChild<QToolButton *>(name);
            return *button ? (*button)->defaultAction() : nullptr;
        }
        return nullptr;
    }

    // Checks every row of `table` against the controls of `owner`.
    template <typename Owner, typename Icon>
    void walk(Owner &owner, QToolBar *toolBar, const std::vector<ql::Command<Owner, Icon>> &table)
    {
        using Row = ql::Command<Owner, Icon>;
        const QList<QKeySequence> ownKeys = ql::TfrmMain::ownKeys();
        for (const Row &row : table) {
            SCOPED_TRACE(row.name);
            QToolButton *button = nullptr;
            QAction *control = controlOf(owner, toolBar, row, &button);
            ASSERT_NE(control, nullptr) << "no control";

            // Where it appears, under its caption.
            switch (row.place) {
            case ql::CommandPlace::Action:
                EXPECT_EQ(control->objectName(), QString::fromLatin1(row.name));
                break;
            case ql::CommandPlace::Menu:
                // A menu of the menu bar, shown there with the item unless the row is hidden.
                EXPECT_TRUE(main().menuBar()->actions().contains((owner.*row.menu)->menuAction()));
                if (row.shown) {
                    EXPECT_TRUE((owner.*row.menu)->menuAction()->isVisible());
                }
                [[fallthrough]];
            case ql::CommandPlace::Popup:
                EXPECT_EQ(control->text(), row.caption);
                EXPECT_EQ(control->isVisible(), row.shown);
                break;
            case ql::CommandPlace::ToolBar:
                EXPECT_EQ(button->isVisible(), row.shown);
                EXPECT_EQ(toolBar->isAncestorOf(button), true);
                EXPECT_FALSE(button->text().isEmpty());
                if (!row.caption.isEmpty()) {
                    EXPECT_EQ(button->text(), row.caption);
                }
                break;
            }
            if (row.icon != Icon::None) {
                EXPECT_FALSE(control->icon().isNull());
            }

            // Its keys: a program's own key as it is, a desktop's key as the desktop gives it.
            if (row.place != ql::CommandPlace::ToolBar) {
                EXPECT_EQ(control->shortcuts(), row.keys.resolve(ownKeys));
            }

            // What it runs: a control that runs a shared action triggers exactly it, once.
            if (row.place != ql::CommandPlace::Action && row.shared) {
                QAction *shared = owner.*row.shared;
                EXPECT_EQ(control->isEnabled(), shared->isEnabled());
                QObject::disconnect(shared, &QAction::triggered, nullptr, nullptr);
                shared->setEnabled(true);
                QSignalSpy spy(shared, &QAction::triggered);
                if (button)
                    button->click();
                else
                    control->trigger();
                EXPECT_EQ(spy.count(), 1);
            } else if (!row.runsSomething()) {
                EXPECT_FALSE(control->isEnabled());
            }
        }
    }

    ql::TfrTasks *frame = nullptr;
};

TEST_F(CommandsTest, MainWindowControlsFollowItsTable)
{
    walk(main(), main().ToolBar1, ql::TfrmMain::commandTable());
}

TEST_F(CommandsTest, FrameControlsFollowItsTable)
{
    walk(*frame, frame->ToolBar1, ql::TfrTasks::commandTable());
}

// Rows name their controls once: two rows of one window under one name would leave one of them out
// of reach by name, and the window's accessible tree would show two controls as one.
TEST_F(CommandsTest, EachControlHasItsOwnName)
{
    auto namesOf = [](const auto &table) {
        QStringList names;
        for (const auto &row : table)
            names << QString::fromLatin1(row.name);
        return names;
    };
    for (QStringList names :
        { namesOf(ql::TfrmMain::commandTable()), namesOf(ql::TfrTasks::commandTable()) }) {
        const QString all = names.join(QLatin1Char(' '));
        EXPECT_EQ(names.removeDuplicates(), 0) << all.toStdString();
    }
}

} // namespace
