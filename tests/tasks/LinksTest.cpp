// The frame's link commands (a list, a file, a web address), the open commands that follow them,
// copy, and the comments and details commands.
#include "TaskListFixture.h"

#include "platform/SystemFormats.h"
#include "platform/gui/RecordingShell.h"
#include "storage/DataSource.h"
#include "tasks/TaskPickers.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

namespace {

using ql::ClientTable;
using ql::RecordingShell;
using ql::ScriptedUi;
using ql::TfrTasks;

class LinkPickers final : public ql::TaskPickers
{
public:
    qint64 pickProgress(qint64) override { return 0; }
    std::optional<DateChoice> pickDate() override { return std::nullopt; }
    std::optional<QString> pickUrl() override { return url; }
    void editComments(ql::DataSource &source) override { commentsOn = &source.table(); }
    void editDetails(ql::DataSource &source, bool yesNo) override
    {
        detailsOn = &source.table();
        detailsYesNo = yesNo;
    }

    std::optional<QString> url;
    ClientTable *commentsOn = nullptr;
    ClientTable *detailsOn = nullptr;
    bool detailsYesNo = true;
};

class LinksTest : public TaskListFixture
{
protected:
    void SetUp() override
    {
        TaskListFixture::SetUp();
        m_previousShell = ql::Shell::install(&m_shell);
        m_frame
            = &loadedList(writeList(QStringLiteral("Plan.ql1"), { "one", "two" }), QStringLiteral("Plan"));
        m_frame->SetPickers(&m_pickers);
        m_frame->SetOpenListFile([this](const QString &path) { m_opened << path; });
    }
    void TearDown() override
    {
        ql::Shell::install(m_previousShell);
        TaskListFixture::TearDown();
    }

    ClientTable &table() { return m_frame->cdsTasks(); }
    void run(const char *item) { m_frame->findChild<QAction *>(QString::fromLatin1(item))->trigger(); }
    void setField(const QString &field, const QString &text)
    {
        table().EditRow();
        table().SetText(field, text);
        table().PostRow();
        m_frame->MarkSaved();
    }

    RecordingShell m_shell;
    LinkPickers m_pickers;
    QStringList m_opened;
    TfrTasks *m_frame = nullptr;

private:
    ql::Shell *m_previousShell = nullptr;
};

TEST_F(LinksTest, FileLinks_StoreTheChosenPathAndOnlyTheToolButtonStampsLastActioned)
{
    const struct
    {
        const char *command;
        const char *field;
        const char *filter;
        const char *extension;
        bool stamps;
    } cases[] = {
        { "Link1", "LinkedList", "Quillon List|*.ql1", "*.ql1", false },
        { "actLinkTaskList", "LinkedList", "All Files (*.*)|*.*", "", true },
        { "LinktoFile1", "RelatedFile", "All Files (*.*)|*.*", "", false },
        { "actLinkRelatedFile", "RelatedFile", "All Files (*.*)|*.*", "", false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        const QString field = QString::fromLatin1(c.field);
        table().MoveTo(1);
        setField(field, QString());
        table().EditRow();
        table().SetNull(QStringLiteral("LastActioned"));
        table().PostRow();
        m_frame->MarkSaved();
        m_ui.clear();

        // Cancelled: nothing changes.
        run(c.command);
        ASSERT_EQ(m_ui.prompts().size(), 1u);
        EXPECT_EQ(m_ui.prompts()[0].kind, ScriptedUi::Kind::OpenFile);
        EXPECT_EQ(m_ui.prompts()[0].file.filter, QString::fromLatin1(c.filter));
        EXPECT_EQ(m_ui.prompts()[0].file.defaultExtension, QString::fromLatin1(c.extension));
        EXPECT_TRUE(m_ui.prompts()[0].file.initialFolder.isEmpty());
        EXPECT_TRUE(table().AsText(field).isEmpty());
        EXPECT_FALSE(m_frame->Modified());

        const QString chosen = path(QStringLiteral("Other list.ql1"));
        m_ui.answerOpenFile(chosen);
        run(c.command);
        EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
        EXPECT_EQ(table().AsText(field), chosen);
        EXPECT_EQ(table().AsDateTime(QStringLiteral("LastActioned")).date(), c.stamps ? Today : QDate());
        EXPECT_TRUE(m_frame->Modified());
    }
}

TEST_F(LinksTest, APathLongerThanTheFieldIsRefusedAndNothingChanges)
{
    const QString tooLong = QStringLiteral("/") + QString(299, u'a');
    m_ui.answerOpenFile(tooLong);
    run("LinktoFile1");
    EXPECT_EQ(shownMessages(ScriptedUi::Kind::Error),
        QStringList { QStringLiteral("The path is too long to link: it has 300 characters, and RelatedFile "
                                     "holds at most 255. Nothing was changed.") });
    EXPECT_TRUE(table().AsText(QStringLiteral("RelatedFile")).isEmpty());
    EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
    EXPECT_FALSE(m_frame->Modified());

    // 255 characters still fit.
    m_ui.answerOpenFile(tooLong.left(255));
    run("LinktoFile1");
    EXPECT_EQ(table().AsText(QStringLiteral("RelatedFile")), tooLong.left(255));
}

TEST_F(LinksTest, UrlIsStoredAsTypedAndOpenedTrimmed)
{
    m_pickers.url.reset();
    run("LinktoURL1");
    EXPECT_FALSE(m_frame->Modified());

    m_pickers.url = QStringLiteral(" https://example.com/a b\t");
    run("LinktoURL1");
    EXPECT_EQ(table().AsText(QStringLiteral("URL")), QStringLiteral(" https://example.com/a b\t"));
    EXPECT_TRUE(table().IsNull(QStringLiteral("LastActioned")));
    EXPECT_TRUE(m_frame->Modified());

    run("OpenURL1");
    ASSERT_EQ(m_shell.calls().size(), 1u);
    EXPECT_EQ(m_shell.calls()[0].target, QStringLiteral("https://example.com/a b"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(LinksTest, OpenCommands_FollowTheFieldAndDoNothingOnABlankOne)
{
    setField(QStringLiteral("LinkedList"), QStringLiteral("  \t "));
    setField(QStringLiteral("RelatedFile"), QString());
    run("OpenLinkedTaskList1");
    run("actOpenLinkedFile");
    run("OpenURL1");
    EXPECT_TRUE(m_opened.isEmpty());
    EXPECT_TRUE(m_shell.calls().empty());

    // A linked list opens on a new tab each time; a file goes to the desktop, whatever it answers.
    const QString list = path(QStringLiteral("Other.ql1"));
    setField(QStringLiteral("LinkedList"), list);
    run("OpenLinkedTaskList1");
    run("actOpenLinkedList");
    EXPECT_EQ(m_opened, (QStringList { list, list }));
    setField(QStringLiteral("RelatedFile"), QStringLiteral(" /home/me/notes.txt"));
    m_shell.setResult(false);
    run("OpenRelatedFile1");
    ASSERT_EQ(m_shell.calls().size(), 1u);
    EXPECT_EQ(m_shell.calls()[0].target, QStringLiteral("/home/me/notes.txt"));
    EXPECT_TRUE(m_ui.prompts().empty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(LinksTest, Copy_PutsTheFieldsOwnTextOnTheClipboard)
{
    TfrTasks &fresh = newList();
    typeTask(fresh, QStringLiteral("a <b>"));
    ql::TaskGrid &grid = *fresh.DBGrid1;
    const auto copy = [&](const char *field) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        grid.setCurrentIndex(grid.model()->index(0, ql::TaskGridModel::columnOf(QString::fromLatin1(field))));
        fresh.findChild<QAction *>(QStringLiteral("Copy1"))->trigger();
        return QGuiApplication::clipboard()->text();
    };
    // The grid shows "No" for a new list's bookmark; the field's text is "False".
    EXPECT_EQ(grid.model()->index(0, ql::TaskGridModel::columnOf(QStringLiteral("Bookmarked"))).data(),
        QStringLiteral("No"));
    EXPECT_EQ(copy("Bookmarked"), QStringLiteral("False"));
    EXPECT_EQ(copy("Task"), QStringLiteral("a <b>"));
    EXPECT_EQ(copy("CreatedDate"), ql::SystemFormats::current().formatDate(Today));
    EXPECT_EQ(copy("DueDate"), QString());
}

TEST_F(LinksTest, CommentsAndDetails_HandTheTableToTheirDialogs)
{
    run("Comments1");
    EXPECT_EQ(m_pickers.commentsOn, &table());
    run("Details1");
    EXPECT_EQ(m_pickers.detailsOn, &table());
    EXPECT_FALSE(m_pickers.detailsYesNo) << "a loaded list shows its booleans as the table does";

    // Without dialogs the commands stay disabled.
    TfrTasks &bare = newList();
    EXPECT_FALSE(bare.findChild<QAction *>(QStringLiteral("Comments1"))->isEnabled());
    EXPECT_FALSE(bare.findChild<QAction *>(QStringLiteral("LinktoURL1"))->isEnabled());
    EXPECT_TRUE(bare.findChild<QAction *>(QStringLiteral("LinktoFile1"))->isEnabled());
}

} // namespace
