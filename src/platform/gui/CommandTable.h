#pragma once

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QString>
#include <QToolBar>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace ql {

// The keys of a command: a key of the program's own, or the key a desktop gives one of its
// standard commands (New, Open, Save, ..., Quit, Help), as the desktop's settings give it, with the
// usual key where it gives none.
struct CommandKeys
{
    // The program's own key; for a standard command, its usual key.
    QKeySequence key;
    std::optional<QKeySequence::StandardKey> standard;
    // The usual key as well where the desktop gives others (Close: Ctrl+W besides Ctrl+F4).
    bool usualToo = false;

    static CommandKeys own(const QKeySequence &key) { return { key, std::nullopt, false }; }
    static CommandKeys desktop(
        QKeySequence::StandardKey command, const QKeySequence &usual, bool usualToo = false)
    {
        return { usual, command, usualToo };
    }

    bool isEmpty() const { return key.isEmpty() && !standard; }
    // The program's own keys, which a desktop's key never takes from them.
    bool isOwn() const { return !standard && !key.isEmpty(); }

    // The keys as they are given to the command: an own key as it is; a standard command's keys
    // without those in `ownKeys`.
    QList<QKeySequence> resolve(const QList<QKeySequence> &ownKeys) const
    {
        if (!standard)
            return key.isEmpty() ? QList<QKeySequence>() : QList<QKeySequence> { key };
        QList<QKeySequence> keys = QKeySequence::keyBindings(*standard);
        if (keys.isEmpty() || (usualToo && !keys.contains(key)))
            keys.append(key);
        keys.removeIf([&](const QKeySequence &k) { return ownKeys.contains(k); });
        return keys;
    }
};

// Where a command appears: in the window's list of commands that several controls share (an
// action, which has no control of its own), as an item of a menu of the menu bar or of a popup
// menu, or as a button of the window's tool bar.
enum class CommandPlace { Action, Menu, Popup, ToolBar };

// One row of a window's table of commands: one command where it appears, under the component name
// of its control. A control runs its command in one of two ways: a handler of the window (the
// control's own action runs it), or a shared action of the window (`runs`), so that a tool button
// and a menu item that share a command run exactly its steps.
//
// Rows are built with the functions below, for instance
//
//   Row::action("actSave", "Save", &TfrmMain::actSaveExecute, &TfrmMain::actSave)
//       .withIcon(MainIcon::Save),
//   Row::menuItem(&TfrmMain::File1, "Save1", "Save")
//       .runs(&TfrmMain::actSave)
//       .withKeys(CommandKeys::desktop(QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S))),
//   Row::toolButton("tbSave").runs(&TfrmMain::actSave),
//
// and a window's controls appear in the order of its table, menu by menu. `Icon` is the window's
// enumeration of pictures, with a None.
template <typename Owner, typename Icon> struct Command
{
    using Handler = void (Owner::*)();
    using ActionMember = QAction *Owner::*;
    using MenuMember = QMenu *Owner::*;

    CommandPlace place = CommandPlace::Action;
    MenuMember menu = nullptr; // Menu, Popup: the menu the item is in
    const char *name = "";
    QString caption; // a tool button that runs an action shows the action's
    QString hint;
    Icon icon = Icon::None;
    CommandKeys keys;
    Handler handler = nullptr;
    // Action: the member of the window that keeps the action; elsewhere: the shared action the
    // control runs.
    ActionMember shared = nullptr;
    bool shown = true;
    // A separator follows the control: nullptr none, "" one without a name, else its name.
    const char *separatorAfter = nullptr;
    // Disabled until the window enables it (a command whose dialogs are not there yet).
    bool startsDisabled = false;

    static Command action(const char *name, const char *caption, Handler handler, ActionMember keptIn)
    {
        Command c;
        c.name = name;
        c.caption = QString::fromLatin1(caption);
        c.handler = handler;
        c.shared = keptIn;
        return c;
    }
    static Command menuItem(MenuMember menu, const char *name, const char *caption)
    {
        Command c;
        c.place = CommandPlace::Menu;
        c.menu = menu;
        c.name = name;
        c.caption = QString::fromLatin1(caption);
        return c;
    }
    static Command popupItem(MenuMember menu, const char *name, const char *caption)
    {
        Command c = menuItem(menu, name, caption);
        c.place = CommandPlace::Popup;
        return c;
    }
    static Command toolButton(const char *name, const char *caption = "")
    {
        Command c;
        c.place = CommandPlace::ToolBar;
        c.name = name;
        c.caption = QString::fromLatin1(caption);
        return c;
    }

    Command runs(ActionMember action) const
    {
        return with([&](Command &c) { c.shared = action; });
    }
    Command does(Handler h) const
    {
        return with([&](Command &c) { c.handler = h; });
    }
    Command withHint(const char *text) const
    {
        return with([&](Command &c) { c.hint = QString::fromLatin1(text); });
    }
    Command withIcon(Icon picture) const
    {
        return with([&](Command &c) { c.icon = picture; });
    }
    Command withKeys(const CommandKeys &k) const
    {
        return with([&](Command &c) { c.keys = k; });
    }
    Command hidden() const
    {
        return with([](Command &c) { c.shown = false; });
    }
    Command thenSeparator(const char *separatorName = "") const
    {
        return with([&](Command &c) { c.separatorAfter = separatorName; });
    }
    Command disabledAtFirst() const
    {
        return with([](Command &c) { c.startsDisabled = true; });
    }

    // Whether the control runs anything at all.
    bool runsSomething() const { return handler || (place != CommandPlace::Action && shared); }

private:
    template <typename F> Command with(F change) const
    {
        Command c = *this;
        change(c);
        return c;
    }
};

// How a window looks its commands: its pictures, its tool bar and how a button goes there, and
// where the keys of its menu items act.
template <typename Owner, typename Icon> struct CommandLook
{
    std::function<QIcon(Icon)> icon;
    QToolBar *toolBar = nullptr;
    // Puts the button `name` for `action` into the tool bar (shown) or beside it (hidden), with
    // `hint` the hint the table gives the command, empty when none.
    std::function<void(QAction *action, const char *name, bool shown, const QString &hint)> addToolButton;
    // The keys of menu and popup items: in which context they act, and the widget that must have
    // the focus (none: the window).
    Qt::ShortcutContext itemKeyContext = Qt::WindowShortcut;
    QWidget *itemKeyWidget = nullptr;
    // The program's own keys, which the desktop's keys of standard commands leave to them.
    QList<QKeySequence> ownKeys;
};

// The program's own keys in a table: the keys a desktop's standard key must leave alone.
template <typename Owner, typename Icon>
QList<QKeySequence> ownKeysOf(const std::vector<Command<Owner, Icon>> &table)
{
    QList<QKeySequence> keys;
    for (const Command<Owner, Icon> &row : table)
        if (row.keys.isOwn())
            keys.append(row.keys.key);
    return keys;
}

// Builds a window's commands from its table: the shared actions first (kept in the window's
// members), then every menu item, popup item and tool button in table order, each with its keys,
// its separator and its command. The menus and the tool bar must exist. Gives, row by row, the
// action each control runs (the shared action, or the control's own).
template <typename Owner, typename Icon>
std::vector<QAction *> buildCommands(
    Owner &owner, const std::vector<Command<Owner, Icon>> &table, const CommandLook<Owner, Icon> &look)
{
    using Row = Command<Owner, Icon>;
    auto setIcon = [&](QAction *action, Icon icon) {
        if (icon != Icon::None)
            action->setIcon(look.icon(icon));
    };
    auto newAction = [&](const Row &row, QObject *parent) {
        auto *action = new QAction(row.caption, parent);
        action->setObjectName(QString::fromLatin1(row.name));
        // A tool button shows the icon text, which Qt would derive by dropping a trailing "...".
        action->setIconText(row.caption);
        action->setToolTip(row.hint.isEmpty() ? row.caption : row.hint);
        setIcon(action, row.icon);
        if (row.handler)
            QObject::connect(action, &QAction::triggered, &owner, row.handler);
        return action;
    };
    // A control that runs a shared action runs exactly its steps, and is enabled while it is.
    auto follow = [](QAction *item, QAction *shared) {
        QObject::connect(item, &QAction::triggered, shared, &QAction::trigger);
        QObject::connect(shared, &QAction::enabledChanged, item, &QAction::setEnabled);
        item->setEnabled(shared->isEnabled());
    };
    auto hintOf = [&](const Row &row) {
        if (!row.hint.isEmpty() || !row.shared)
            return row.hint;
        for (const Row &other : table)
            if (other.place == CommandPlace::Action && other.shared == row.shared)
                return other.hint;
        return QString();
    };

    std::vector<QAction *> runs(table.size(), nullptr);
    for (size_t i = 0; i < table.size(); ++i) {
        const Row &row = table[i];
        if (row.place != CommandPlace::Action)
            continue;
        QAction *action = newAction(row, &owner);
        action->setEnabled(row.handler && !row.startsDisabled);
        if (!row.keys.isEmpty()) {
            // The action's keys act anywhere in the window and are shown on no menu item.
            action->setShortcuts(row.keys.resolve(look.ownKeys));
            action->setShortcutContext(Qt::WindowShortcut);
            owner.addAction(action);
        }
        owner.*row.shared = action;
        runs[i] = action;
    }
    for (size_t i = 0; i < table.size(); ++i) {
        const Row &row = table[i];
        switch (row.place) {
        case CommandPlace::Action:
            break;
        case CommandPlace::Menu:
        case CommandPlace::Popup: {
            // Items are actions of their own, so that a shared action's keys are not shown as the
            // item's.
            QMenu *menu = owner.*row.menu;
            QAction *item = newAction(row, menu);
            menu->addAction(item);
            if (!row.keys.isEmpty()) {
                item->setShortcuts(row.keys.resolve(look.ownKeys));
                item->setShortcutContext(look.itemKeyContext);
                if (look.itemKeyWidget)
                    look.itemKeyWidget->addAction(item);
            }
            if (row.shared)
                follow(item, owner.*row.shared);
            else
                item->setEnabled(row.handler && !row.startsDisabled);
            item->setVisible(row.shown);
            if (row.separatorAfter) {
                QAction *separator = menu->addSeparator();
                separator->setObjectName(QString::fromLatin1(row.separatorAfter));
                separator->setVisible(row.shown);
            }
            runs[i] = row.shared ? owner.*row.shared : item;
            break;
        }
        case CommandPlace::ToolBar: {
            QAction *action = row.shared ? owner.*row.shared : nullptr;
            if (!action) {
                // A button with a handler of its own runs it through an action of its own.
                action = newAction(row, look.toolBar);
                action->setEnabled(row.handler && !row.startsDisabled);
            }
            look.addToolButton(action, row.name, row.shown, hintOf(row));
            if (row.separatorAfter && row.shown)
                look.toolBar->addSeparator();
            runs[i] = action;
            break;
        }
        }
    }
    return runs;
}

} // namespace ql
