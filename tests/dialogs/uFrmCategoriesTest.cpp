#include "dialogs/uFrmCategories.h"
#include "common/CategoryList.h"
#include "gui/Printers.h"
#include "platform/FileWriter.h"
#include "platform/ProgramFolder.h"
#include "platform/gui/ScriptedUi.h"
#include "platform/gui/ShowModal.h"

#include <QAccessible>
#include <QFile>
#include <QGuiApplication>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/resource.h>

namespace {

using ql::ScriptedUi;
using ql::TfrmCategories;

// While it lives, no file of this process can grow past `bytes`: a write beyond the limit fails with
// EFBIG (the signal that would otherwise end the program is ignored meanwhile).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qsizetype bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (getrlimit(RLIMIT_FSIZE, &m_previous) != 0)
            return;
        rlimit limit = m_previous;
        limit.rlim_cur = rlim_t(bytes);
        m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_set)
            setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isSet() const { return m_set; }

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_set = false;
};

class CategoriesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ql::ProgramFolder::set(m_dir.path());
        m_previousUi = ql::Ui::install(&m_ui);
    }

    void TearDown() override
    {
        ql::FileFaults::clear();
        ql::Ui::install(m_previousUi);
        ql::ProgramFolder::reset();
    }

    QString iniPath() const { return m_dir.filePath(QStringLiteral("Quillon.ini")); }

    void writeIni(const QByteArray &data) const
    {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(data), data.size());
    }

    // The file's bytes, or nothing when there is no file.
    std::optional<QByteArray> readIni() const
    {
        QFile file(iniPath());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }

    // A fresh dialog, as the program creates it at its next start, with a category list of its own.
    std::unique_ptr<TfrmCategories> start()
    {
        return std::make_unique<TfrmCategories>(m_lists.emplace_back());
    }

    static QPlainTextEdit &list(TfrmCategories &dialog)
    {
        auto *edit = dialog.findChild<QPlainTextEdit *>(QStringLiteral("mCats"));
        EXPECT_TRUE(edit);
        return *edit;
    }

    static QPushButton &button(TfrmCategories &dialog, const char *name)
    {
        auto *found = dialog.findChild<QPushButton *>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return *found;
    }

    // Update pressed, then the list's text replaced as the user would type it.
    static void edit(TfrmCategories &dialog, const QString &text)
    {
        dialog.Button3Click();
        QPlainTextEdit &box = list(dialog);
        box.selectAll();
        QTest::keyClick(&box, Qt::Key_Delete);
        for (const QChar c : text) {
            if (c == u'\n')
                QTest::keyClick(&box, Qt::Key_Return);
            else
                QTest::keyClicks(&box, QString(c));
        }
        ASSERT_EQ(box.toPlainText(), text);
    }

    // Whether the list is back in its resting state: read-only, 3-D light background, Save disabled.
    static void expectAtRest(TfrmCategories &dialog)
    {
        QPlainTextEdit &box = list(dialog);
        EXPECT_TRUE(box.isReadOnly());
        // The light 3-D colour: lighter than a disabled box, so the list does not look switched
        // off, and apart from the white of a list being edited.
        const QColor resting = box.palette().color(QPalette::Base);
        EXPECT_GT(resting.lightness(),
            QGuiApplication::palette().color(QPalette::Disabled, QPalette::Base).lightness());
        EXPECT_NE(resting, QColor(Qt::white));
        EXPECT_FALSE(button(dialog, "btnSave").isEnabled());
    }

    std::vector<ScriptedUi::Kind> promptKinds() const
    {
        std::vector<ScriptedUi::Kind> kinds;
        for (const ScriptedUi::Prompt &prompt : m_ui.prompts())
            kinds.push_back(prompt.kind);
        return kinds;
    }

    QTemporaryDir m_dir;
    ScriptedUi m_ui;
    ql::Ui *m_previousUi = nullptr;
    // The category lists the dialogs keep up to date; a deque, so that they never move.
    std::deque<ql::CategoryList> m_lists;
};

TEST_F(CategoriesTest, Load_ReadsKeysUpToTheFirstGapAndSortsThem)
{
    const struct
    {
        const char *name;
        std::optional<QByteArray> file; // nothing: no settings file
        QStringList expected;
    } cases[] = {
        { "no settings file", std::nullopt, {} },
        { "no Category section", "[Other]\nLine0=Work\n", {} },
        { "Line2 missing", "[Category]\nLine0=Work\nLine1=Home\nLine3=Far\n", { "Home", "Work" } },
        { "empty value ends the list", "[Category]\nLine0=Work\nLine1=\nLine2=Home\n", { "Work" } },
        { "blank value ends the list", "[Category]\nLine0=Work\nLine1=   \nLine2=Home\n", { "Work" } },
        { "Line0 missing", "[Category]\nLine1=Work\n", {} },
        { "sorted without regard to case", "[Category]\nLine0=Work\nLine1=errands\nLine2=Home\n",
            { "errands", "Home", "Work" } },
        { "duplicates stay", "[Category]\nLine0=b\nLine1=a\nLine2=b\n", { "a", "b", "b" } },
        { "profile conventions", "[category]\nLINE0 =  \" Work \"  \nline1=Home \n[Other]\nLine2=X\n",
            { " Work ", "Home" } }, // a blank sorts before letters
        { "first key and first section count", "[Category]\nLine0=b\nline0=x\nLine1=a\n[CATEGORY]\nLine2=c\n",
            { "a", "b" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(iniPath());
        if (c.file)
            writeIni(*c.file);
        const auto dialog = start();
        EXPECT_EQ(dialog->categories(), c.expected);
        // Read-only at start, but Save is enabled.
        EXPECT_TRUE(list(*dialog).isReadOnly());
        EXPECT_TRUE(button(*dialog, "btnSave").isEnabled());
        // Loading writes nothing.
        EXPECT_EQ(readIni(), c.file);
    }
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(CategoriesTest, Save_WritesTheLinesAsShownAndSortsOnlyAtTheNextStart)
{
    const auto dialog = start();
    edit(*dialog, QStringLiteral("Zeta\nAlpha\n"));
    dialog->btnSaveClick();

    ASSERT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(m_ui.prompts()[0].kind, ScriptedUi::Kind::Message);
    EXPECT_EQ(m_ui.prompts()[0].text, QStringLiteral("Categories saved."));
    // The final line break adds no empty line; the file is created on the first write.
    EXPECT_EQ(readIni(), QByteArray("[Category]\nLine0=Zeta\nLine1=Alpha\n"));
    EXPECT_EQ(dialog->result(), int(QDialog::Accepted));
    expectAtRest(*dialog);

    // The dialog keeps showing the order the user gave until the program starts again.
    EXPECT_EQ(dialog->categories(), QStringList({ "Zeta", "Alpha" }));
    EXPECT_EQ(start()->categories(), QStringList({ "Alpha", "Zeta" }));
}

TEST_F(CategoriesTest, Save_WritesEmptyLinesWhichEndTheListAtTheNextStart)
{
    const auto dialog = start();
    edit(*dialog, QStringLiteral("Work\n\nHome"));
    dialog->btnSaveClick();

    EXPECT_EQ(readIni(), QByteArray("[Category]\nLine0=Work\nLine1=\nLine2=Home\n"));
    EXPECT_EQ(start()->categories(), QStringList { "Work" });
}

TEST_F(CategoriesTest, Save_ReplacesTheWholeSectionAndLeavesOtherSectionsAlone)
{
    QByteArray before = "; kept\r\n[Window]\r\nLeft=10\r\n[Category]\r\n";
    for (int i = 0; i < 10; ++i)
        before += "Line" + QByteArray::number(i) + "=Old" + QByteArray::number(i) + "\r\n";
    before += "[Other]\r\nx=1\r\n";
    writeIni(before);

    const auto dialog = start();
    edit(*dialog, QStringLiteral("g\nf\ne\nd\nc\nb\na"));
    dialog->btnSaveClick();

    EXPECT_EQ(readIni(),
        QByteArray("; kept\r\n[Window]\r\nLeft=10\r\n[Other]\r\nx=1\r\n[Category]\r\nLine0=g\r\nLine1=f\r\n"
                   "Line2=e\r\nLine3=d\r\nLine4=c\r\nLine5=b\r\nLine6=a\r\n"));
    EXPECT_EQ(start()->categories(), QStringList({ "a", "b", "c", "d", "e", "f", "g" }));
}

TEST_F(CategoriesTest, Save_OfAnEmptyListRemovesTheSection)
{
    writeIni("[Category]\nLine0=Work\n[Other]\nx=1\n");
    const auto dialog = start();
    edit(*dialog, QString());
    dialog->btnSaveClick();

    EXPECT_EQ(readIni(), QByteArray("[Other]\nx=1\n"));
    EXPECT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_TRUE(start()->categories().isEmpty());
}

TEST_F(CategoriesTest, Save_WriteFailureShowsTheErrorCleansUpAndCloses)
{
    const QByteArray before = "[Category]\nLine0=Work\n";
    const std::optional<QByteArray> files[] = { before, std::nullopt };
    for (const ql::FileFault fault :
        { ql::FileFault::CannotCreate, ql::FileFault::FailsHalfway, ql::FileFault::CannotRename }) {
        for (const std::optional<QByteArray> &file : files) {
            SCOPED_TRACE(
                testing::Message() << "fault " << static_cast<int>(fault) << (file ? "" : ", no file"));
            QFile::remove(iniPath());
            if (file)
                writeIni(*file);
            m_ui.clear();
            const auto dialog = start();
            edit(*dialog, QStringLiteral("Home\nErrands"));

            ql::FileFaults::inject(fault);
            dialog->btnSaveClick();
            ql::FileFaults::clear();

            // Only the error box: "Categories saved." is not shown.
            ASSERT_EQ(m_ui.prompts().size(), 1u);
            const ScriptedUi::Prompt &shown = m_ui.prompts()[0];
            EXPECT_EQ(shown.kind, ScriptedUi::Kind::Error);
            EXPECT_EQ(shown.icon, ScriptedUi::Icon::Error);
            EXPECT_EQ(shown.text, QStringLiteral("Unable to write to %1.").arg(iniPath()));
            EXPECT_EQ(readIni(), file);
            // The clean-up still happens, the dialog still closes, and the edits stay in use.
            expectAtRest(*dialog);
            EXPECT_EQ(dialog->result(), int(QDialog::Accepted));
            EXPECT_EQ(dialog->categories(), QStringList({ "Home", "Errands" }));
        }
    }
}

// A save cut short must not leave a half-written list behind (the file of 10 old categories must not
// become a handful of new ones). A limit on the size of files makes every write that would grow
// the file past the old one fail, as a full disk would: writing key by key gets some keys in before
// that, one write of the whole section gets none.
TEST_F(CategoriesTest, Save_CutShortLeavesTheOldFileAsItWas)
{
    QByteArray before = "[Window]\nLeft=10\n[Category]\n";
    for (int i = 0; i < 10; ++i)
        before += "Line" + QByteArray::number(i) + "=Old" + QByteArray::number(i) + "\n";
    writeIni(before);
    const auto dialog = start();
    // Twelve longer lines: the new file would be about twice the size of the old one.
    QStringList lines;
    for (int i = 1; i <= 12; ++i)
        lines << QStringLiteral("New category %1").arg(i);
    edit(*dialog, lines.join(u'\n'));
    {
        const FileSizeLimit limit(before.size());
        ASSERT_TRUE(limit.isSet());
        dialog->btnSaveClick();
    }

    EXPECT_EQ(readIni(), before);
    EXPECT_EQ(promptKinds(), std::vector<ScriptedUi::Kind> { ScriptedUi::Kind::Error });
    expectAtRest(*dialog);
    EXPECT_EQ(start()->categories().size(), 10);
}

TEST_F(CategoriesTest, ProgramFolder_IsTakenOnceWhenTheDialogIsCreated)
{
    const auto dialog = start();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    ql::ProgramFolder::set(elsewhere.path());

    edit(*dialog, QStringLiteral("Work"));
    dialog->btnSaveClick();

    EXPECT_EQ(dialog->settingsPath(), iniPath());
    EXPECT_EQ(readIni(), QByteArray("[Category]\nLine0=Work\n"));
    EXPECT_FALSE(QFile::exists(elsewhere.filePath(QStringLiteral("Quillon.ini"))));
}

TEST_F(CategoriesTest, Update_MakesTheListEditableOnWhite)
{
    writeIni("[Category]\nLine0=Work\n");
    const auto dialog = start();
    QPlainTextEdit &box = list(*dialog);

    // Typing into the read-only list changes nothing.
    box.moveCursor(QTextCursor::End);
    QTest::keyClicks(&box, QStringLiteral("x"));
    EXPECT_EQ(dialog->categories(), QStringList { "Work" });

    dialog->Button3Click();
    EXPECT_FALSE(box.isReadOnly());
    EXPECT_EQ(box.palette().color(QPalette::Base), QColor(Qt::white));
    box.moveCursor(QTextCursor::End);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, QStringLiteral("Home"));
    EXPECT_EQ(dialog->categories(), QStringList({ "Work", "Home" }));
}

TEST_F(CategoriesTest, SaveButton_IsEnabledByUpdateOrAChangeAndDisabledBySave)
{
    const auto dialog = start();
    QPushButton &save = button(*dialog, "btnSave");
    EXPECT_TRUE(save.isEnabled());

    dialog->btnSaveClick();
    EXPECT_FALSE(save.isEnabled());
    dialog->Button2Click(); // Close leaves it as it is
    EXPECT_FALSE(save.isEnabled());
    dialog->Button3Click();
    EXPECT_TRUE(save.isEnabled());

    dialog->btnSaveClick();
    ASSERT_FALSE(save.isEnabled());
    // A change of the text enables Save, even while the list is read-only (as when code sets it).
    list(*dialog).setPlainText(QStringLiteral("Work"));
    EXPECT_TRUE(save.isEnabled());
    EXPECT_TRUE(list(*dialog).isReadOnly());
}

TEST_F(CategoriesTest, Close_KeepsTheEditsInUseWithoutSaving)
{
    writeIni("[Category]\nLine0=Work\n");
    const auto dialog = start();

    // Shown as the main window shows it; the user edits and presses the real Close button.
    const ql::ModalHook previous = ql::setModalHook([&](QDialog &shown) {
        EXPECT_EQ(&shown, dialog.get());
        edit(*dialog, QStringLiteral("Work\nHome"));
        button(*dialog, "Button2").click();
        return shown.result();
    });
    EXPECT_EQ(ql::showModal(*dialog), int(QDialog::Rejected));

    // The rest of the program sees the edit at once; the file does not.
    EXPECT_EQ(dialog->categories(), QStringList({ "Work", "Home" }));
    EXPECT_EQ(readIni(), QByteArray("[Category]\nLine0=Work\n"));
    EXPECT_TRUE(m_ui.prompts().empty());

    // Shown again: still there, still editable, and the real Save button saves them.
    ql::setModalHook([&](QDialog &shown) {
        EXPECT_FALSE(list(*dialog).isReadOnly());
        EXPECT_EQ(list(*dialog).toPlainText(), QStringLiteral("Work\nHome"));
        button(*dialog, "btnSave").click();
        return shown.result();
    });
    EXPECT_EQ(ql::showModal(*dialog), int(QDialog::Accepted));
    ql::setModalHook(previous);
    EXPECT_EQ(readIni(), QByteArray("[Category]\nLine0=Work\nLine1=Home\n"));
    EXPECT_EQ(promptKinds(), std::vector<ScriptedUi::Kind> { ScriptedUi::Kind::Message });
}

TEST_F(CategoriesTest, Window_ReadsAsDesignedAndKeepsItsBarsWhenResized)
{
    QWidget mainWindow;
    TfrmCategories dialog(m_lists.emplace_back(), &mainWindow);
    EXPECT_TRUE(dialog.isWindow());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Categories"));

    // Every control a person can reach reads by its caption or its label.
    const struct
    {
        const char *name;
        QString accessibleName;
    } controls[] = {
        { "mCats", "Categories" },
        { "Button3", "Update" },
        { "btnSave", "Save" },
        { "Button2", "Close" },
    };
    for (const auto &c : controls) {
        SCOPED_TRACE(c.name);
        auto *widget = dialog.findChild<QWidget *>(QString::fromLatin1(c.name));
        ASSERT_TRUE(widget);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_TRUE(accessible);
        EXPECT_EQ(accessible->text(QAccessible::Name), c.accessibleName);
    }
    QPlainTextEdit &box = list(dialog);
    EXPECT_EQ(box.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(box.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // The bars keep their heights; the list takes whatever room the window gives it.
    for (const QSize size : { QSize(306, 528), QSize(500, 800) }) {
        // What the window does on a resize, without showing it.
        dialog.layout()->setGeometry(QRect(QPoint(0, 0), size));
        const QWidget *top = dialog.findChild<QWidget *>(QStringLiteral("Panel2"));
        const QWidget *bottom = dialog.findChild<QWidget *>(QStringLiteral("Panel1"));
        ASSERT_TRUE(top && bottom);
        EXPECT_EQ(top->geometry(), QRect(0, 0, size.width(), 41));
        EXPECT_EQ(bottom->geometry(), QRect(0, size.height() - 58, size.width(), 58));
        EXPECT_EQ(box.geometry(), QRect(0, 41, size.width(), size.height() - 41 - 58));
    }
}

} // namespace
