// The real prompts, shown on the offscreen platform and answered by key presses from a timer. File
// dialogs are only set up and looked at, never shown.
#include "platform/gui/QtUi.h"
#include "ModalDriver.h"
#include "Printers.h"

#include <QAccessible>
#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

using ql::Answer;
using ql::QtUi;

// What a user sees of a message box.
struct SeenBox
{
    QString caption;
    QString accessibleName;
    bool topLevel = false;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

QString buttonText(const QAbstractButton *button)
{
    return button ? button->text().remove(u'&') : QString();
}

SeenBox look(QMessageBox &box)
{
    SeenBox seen;
    seen.caption = box.windowTitle();
    if (QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&box))
        seen.accessibleName = accessible->text(QAccessible::Name);
    seen.topLevel = box.isWindow();
    seen.text = box.text();
    seen.format = box.textFormat();
    seen.icon = box.icon();
    // In the order of the button row, left to right.
    QList<QAbstractButton *> buttons = box.buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton *a, QAbstractButton *b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    for (QAbstractButton *button : buttons)
        seen.buttons << buttonText(button);
    seen.defaultButton = buttonText(box.defaultButton());
    return seen;
}

// Enter and Esc as the user presses them: to the widget that has the focus.
void press(QWidget &window, Qt::Key key)
{
    QWidget *focus = window.focusWidget();
    QTest::keyClick(focus ? focus : &window, key);
}

TEST(QtUi, MessageBoxes_ShowCaptionIconTextAndButtons)
{
    const QString text = QStringLiteral("File <b>a&b</b>.ql1 \u00BBsaved\u00AB");
    const struct
    {
        const char *name;
        std::function<void(QtUi &)> show;
        QMessageBox::Icon icon;
        QStringList buttons;
        QString defaultButton;
    } cases[] = {
        { "message", [&](QtUi &ui) { ui.message(text); }, QMessageBox::NoIcon, { "OK" }, "OK" },
        { "question", [&](QtUi &ui) { ui.question(text); }, QMessageBox::NoIcon, { "Yes", "No" }, "Yes" },
        { "confirm", [&](QtUi &ui) { ui.confirm(text); }, QMessageBox::Question, { "OK", "Cancel" }, "OK" },
        { "error", [&](QtUi &ui) { ui.error(text); }, QMessageBox::Critical, { "OK" }, "OK" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SeenBox seen;
        ModalDriver<QMessageBox> driver([&](QMessageBox &box) {
            seen = look(box);
            press(box, Qt::Key_Escape);
        });
        QtUi ui;
        c.show(ui);
        ASSERT_TRUE(driver.acted());
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(seen.caption, QStringLiteral("Quillon"));
        // A real window that a screen reader announces by its caption.
        EXPECT_TRUE(seen.topLevel);
        EXPECT_EQ(seen.accessibleName, QStringLiteral("Quillon"));
        // The text as written, never read as markup.
        EXPECT_EQ(seen.text, text);
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.defaultButton, c.defaultButton);
    }
}

TEST(QtUi, Question_EnterAnswersYesEscAndCloseAnswerNo)
{
    const struct
    {
        const char *name;
        std::function<void(QMessageBox &)> answer;
        Answer expected;
    } cases[] = {
        { "Enter", [](QMessageBox &box) { press(box, Qt::Key_Return); }, Answer::Yes },
        { "Esc", [](QMessageBox &box) { press(box, Qt::Key_Escape); }, Answer::No },
        { "window closed", [](QMessageBox &box) { box.close(); }, Answer::No },
        { "No clicked",
            [](QMessageBox &box) { QTest::mouseClick(box.button(QMessageBox::No), Qt::LeftButton); },
            Answer::No },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ModalDriver<QMessageBox> driver(c.answer);
        QtUi ui;
        const Answer answer = ui.question(QStringLiteral("Save changes ?"));
        ASSERT_TRUE(driver.acted());
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(answer, c.expected);
    }
}

TEST(QtUi, Confirm_EnterAnswersOkEscAndCloseAnswerCancel)
{
    const struct
    {
        const char *name;
        std::function<void(QMessageBox &)> answer;
        bool expected;
    } cases[] = {
        { "Enter", [](QMessageBox &box) { press(box, Qt::Key_Return); }, true },
        { "Esc", [](QMessageBox &box) { press(box, Qt::Key_Escape); }, false },
        { "window closed", [](QMessageBox &box) { box.close(); }, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ModalDriver<QMessageBox> driver(c.answer);
        QtUi ui;
        const bool ok = ui.confirm(QStringLiteral("Delete record?"));
        ASSERT_TRUE(driver.acted());
        EXPECT_EQ(ok, c.expected);
    }
}

// A choice shows its buttons in the given order; Enter takes the first, and Esc or closing the box
// the last, the one that changes nothing.
TEST(QtUi, Choice_EnterTakesTheFirstButtonEscAndCloseTheLast)
{
    const QStringList buttons { QStringLiteral("Save As..."), QStringLiteral("Reload"),
        QStringLiteral("Cancel") };
    const QString text = QStringLiteral("The file \"<a>.ql1\" was changed on disk.");
    const struct
    {
        const char *name;
        std::function<void(QMessageBox &)> answer;
        QString expected;
    } cases[] = {
        { "Enter", [](QMessageBox &box) { press(box, Qt::Key_Return); }, "Save As..." },
        { "Esc", [](QMessageBox &box) { press(box, Qt::Key_Escape); }, "Cancel" },
        { "window closed", [](QMessageBox &box) { box.close(); }, "Cancel" },
        { "Reload clicked",
            [](QMessageBox &box) {
                for (QAbstractButton *button : box.buttons())
                    if (buttonText(button) == QLatin1String("Reload"))
                        QTest::mouseClick(button, Qt::LeftButton);
            },
            "Reload" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SeenBox seen;
        ModalDriver<QMessageBox> driver([&](QMessageBox &box) {
            seen = look(box);
            c.answer(box);
        });
        QtUi ui;
        const QString chosen = ui.choose(text, buttons);
        ASSERT_TRUE(driver.acted());
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(chosen, c.expected);
        EXPECT_EQ(seen.caption, QStringLiteral("Quillon"));
        EXPECT_EQ(seen.text, text);
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
        EXPECT_EQ(seen.buttons, buttons);
        EXPECT_EQ(seen.defaultButton, QStringLiteral("Save As..."));
    }
}

TEST(QtUi, Input_OkGivesTheTextCancelGivesTheInitialText)
{
    const QString tooLong(300, u'x');
    const struct
    {
        const char *name;
        QString typed; // replaces the initial text
        Qt::Key key;
        QString expected;
    } cases[] = {
        { "OK", "75", Qt::Key_Return, "75" },
        { "OK with the text unchanged", {}, Qt::Key_Return, "50" },
        { "Cancel", "75", Qt::Key_Escape, "50" },
        { "at most 255 characters", tooLong, Qt::Key_Return, QString(255, u'x') },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString caption;
        QString prompt;
        QString shownText;
        ModalDriver<QInputDialog> driver([&](QInputDialog &dialog) {
            caption = dialog.windowTitle();
            prompt = dialog.labelText();
            auto *edit = dialog.findChild<QLineEdit *>();
            ASSERT_TRUE(edit);
            shownText = edit->text();
            if (!c.typed.isEmpty()) {
                edit->selectAll();
                QTest::keyClicks(edit, c.typed);
            }
            QTest::keyClick(edit, c.key);
        });
        QtUi ui;
        const QString result
            = ui.input(QStringLiteral("Percentage"), QStringLiteral("Perc: "), QStringLiteral("50"));
        ASSERT_TRUE(driver.acted());
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(caption, QStringLiteral("Percentage"));
        EXPECT_EQ(prompt, QStringLiteral("Perc: "));
        EXPECT_EQ(shownText, QStringLiteral("50"));
        EXPECT_EQ(result, c.expected);
    }
}

// Rename offers a full path for editing: the box shows it whole.
TEST(QtUi, Input_IsWideEnoughForItsInitialText)
{
    const QString path
        = QStringLiteral("/home/someone/Documents/Projects/Household/Garden and Kitchen Plan 2026.ql1");
    int shownWidth = 0;
    int textWidth = 0;
    ModalDriver<QInputDialog> driver([&](QInputDialog &dialog) {
        auto *edit = dialog.findChild<QLineEdit *>();
        ASSERT_TRUE(edit);
        shownWidth = edit->width();
        textWidth = edit->fontMetrics().horizontalAdvance(path);
        QTest::keyClick(edit, Qt::Key_Escape);
    });
    QtUi ui;
    ui.input(QStringLiteral("Rename"), QStringLiteral("Enter new name"), path);
    ASSERT_TRUE(driver.acted());
    EXPECT_GT(shownWidth, textWidth);
}

TEST(QtUi, FileDialogs_AreSetUpAsTheProgramNeedsThem)
{
    const ql::FileDialogRequest request { QStringLiteral("Open list"),
        QStringLiteral("Quillon File v1|*.ql1|All Files (*.*)|*.*"), QStringLiteral("*.ql1"),
        QDir::tempPath(), QStringLiteral("Plan.ql1") };
    for (const QFileDialog::AcceptMode mode : { QFileDialog::AcceptOpen, QFileDialog::AcceptSave }) {
        SCOPED_TRACE(mode);
        QFileDialog dialog;
        QtUi::setUpFileDialog(dialog, mode, request);
        EXPECT_EQ(dialog.windowTitle(), request.caption);
        EXPECT_EQ(dialog.acceptMode(), mode);
        // The open dialog takes a typed name of a file that does not exist.
        EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
        // The save commands ask their own overwrite question.
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog.nameFilters(),
            QStringList(
                { QStringLiteral("Quillon File v1 (*.ql1)"), QStringLiteral("All Files (*.*) (*)") }));
        // The user reads the description only, as written.
        EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("Quillon File v1"));
        EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("ql1"));
        EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
        EXPECT_TRUE(dialog.isHidden());
    }
}

TEST(QtUi, NameFilters_FromWindowsFilterText)
{
    const struct
    {
        QString filter;
        QStringList expected;
    } cases[] = {
        { "", {} },
        { "Quillon|*.ql1", { "Quillon (*.ql1)" } },
        { "All Files (*.*)|*.*", { "All Files (*.*) (*)" } },
        { "Pictures|*.jpg;*.png|Everything|*", { "Pictures (*.jpg *.png)", "Everything (*)" } },
        { "Description without pattern", {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.filter.toStdString());
        EXPECT_EQ(QtUi::nameFilters(c.filter), c.expected);
    }
}

TEST(QtUi, DefaultExtension_IsAddedToANameWithoutOne)
{
    const struct
    {
        QString path;
        QString extension;
        QString expected;
    } cases[] = {
        { "lists/Plan", "ql1", "lists/Plan.ql1" },
        { "lists/Plan", ".ql1", "lists/Plan.ql1" },
        { "lists/Plan", "*.ql1", "lists/Plan.ql1" },
        { "lists/Plan.ql1", "ql1", "lists/Plan.ql1" },
        { "lists/Plan.txt", "ql1", "lists/Plan.txt" },
        { "lists/Plan.2024", "ql1", "lists/Plan.2024" },
        { "my.lists/Plan", "ql1", "my.lists/Plan.ql1" }, // a dot in the folder is no extension
        { "lists/Plan", "", "lists/Plan" },
        { "", "ql1", "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.path + u' ' + c.extension).toStdString());
        EXPECT_EQ(QtUi::withDefaultExtension(c.path, c.extension), c.expected);
    }
}

} // namespace
