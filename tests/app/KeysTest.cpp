// The keys of the main window and of a list's frame: the desktop's keys for the file commands,
// Print, Quit and About beside the program's own keys, and no key for two commands.
#include "MainWindowFixture.h"

#include "tasks/TaskGrid.h"

#include <QAction>
#include <QMap>
#include <QSignalSpy>
#include <map>
#include <memory>

namespace {

class KeysTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        showWithNewList();
    }

    // Every key of the window and its list with the commands it belongs to. Besides the actions'
    // keys: the keys the grid acts on itself (Insert, Ctrl+Del) and the tab area's Ctrl+Tab and
    // Ctrl+Shift+Tab.
    QMap<QString, QStringList> ownersOfKeys()
    {
        QMap<QString, QStringList> owners;
        for (QAction *action : main().findChildren<QAction *>())
            for (const QKeySequence &key : action->shortcuts())
                owners[key.toString()] << action->objectName();
        for (const QKeySequence &key : ql::TaskGrid::ownKeys())
            owners[key.toString()] << QStringLiteral("DBGrid1");
        for (const QKeySequence &key : ql::TfrmMain::tabKeys())
            owners[key.toString()] << QStringLiteral("PageControl1");
        return owners;
    }
};

TEST_F(KeysTest, NoKeyBelongsToTwoCommands)
{
    QStringList listing;
    QStringList clashes;
    const QMap<QString, QStringList> owners = ownersOfKeys();
    for (auto it = owners.begin(); it != owners.end(); ++it) {
        listing << it.key() + QStringLiteral(": ") + it.value().join(QStringLiteral(", "));
        if (it.value().size() > 1)
            clashes << listing.last();
    }
    EXPECT_TRUE(clashes.isEmpty()) << clashes.join(QLatin1Char('\n')).toStdString() << "\nall keys:\n"
                                   << listing.join(QLatin1Char('\n')).toStdString();
}

// Each key runs its command, once, from where a user presses it: the window's keys from the grid
// and from the quick-add box, the list's keys from the grid. The menu items show the desktop's keys.
TEST_F(KeysTest, EachKeyRunsItsCommandFromTheGridAndTheEntryBox)
{
    ql::TfrTasks *frame = main().ActiveTasksFrame();
    ASSERT_NE(frame, nullptr);
    QWidget *grid = frame->findChild<QWidget *>(QStringLiteral("DBGrid1"));
    QWidget *entry = frame->findChild<QWidget *>(QStringLiteral("Edit2"));
    ASSERT_TRUE(grid && entry);

    // The commands do not run: each key's action only reports that it was triggered. Every action
    // that has a key is enabled, whatever the empty list allows.
    std::map<QAction *, std::unique_ptr<QSignalSpy>> spies;
    for (QAction *action : main().findChildren<QAction *>()) {
        if (action->shortcuts().isEmpty())
            continue;
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        action->setEnabled(true);
        spies[action] = std::make_unique<QSignalSpy>(action, &QAction::triggered);
    }

    const struct
    {
        QKeySequence key;
        const char *action;
        bool fromEntryBox;
    } keys[] = {
        { QKeySequence(Qt::CTRL | Qt::Key_N), "New1", true },
        { QKeySequence(Qt::CTRL | Qt::Key_O), "Open1", true },
        { QKeySequence(Qt::CTRL | Qt::Key_S), "Save1", true },
        { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), "Saveas1", true },
        { QKeySequence(Qt::CTRL | Qt::Key_W), "Close1", true },
        { QKeySequence(Qt::CTRL | Qt::Key_P), "Print1", true },
        { QKeySequence(Qt::CTRL | Qt::Key_Q), "Exit1", true },
        { QKeySequence(Qt::Key_F1), "About1", true },
        { QKeySequence(Qt::Key_F10), "actExit", true },
        { QKeySequence(Qt::CTRL | Qt::Key_C), "Copy1", false },
        { QKeySequence(Qt::CTRL | Qt::Key_F), "LinktoFile1", false },
        { QKeySequence(Qt::CTRL | Qt::Key_U), "LinktoURL1", false },
        { QKeySequence(Qt::Key_F12), "Details1", false },
        { QKeySequence(Qt::Key_Delete), "DeleteTask1", false },
    };
    for (const auto &k : keys) {
        for (QWidget *where : { grid, entry }) {
            if (where == entry && !k.fromEntryBox)
                continue;
            SCOPED_TRACE(k.key.toString().toStdString() + " in " + where->objectName().toStdString());
            for (auto &[action, spy] : spies)
                spy->clear();
            where->setFocus();
            QTest::keySequence(where, k.key);
            for (auto &[action, spy] : spies)
                EXPECT_EQ(spy->count(), action->objectName() == QLatin1String(k.action) ? 1 : 0)
                    << action->objectName().toStdString();
        }
    }
    // The menu shows the key beside the item.
    EXPECT_TRUE(main()
                    .findChild<QAction *>(QStringLiteral("Saveas1"))
                    ->shortcuts()
                    .contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
}

} // namespace
