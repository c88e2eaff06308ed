#pragma once

// A task-list frame on a page of a real tab widget, as the main window shows it, with scripted
// prompts and a fixed clock; and small list files written for a test.
#include "gui/Printers.h"
#include "platform/Clock.h"
#include "platform/Error.h"
#include "platform/gui/ScriptedUi.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"
#include "tasks/TabCaption.h"
#include "tasks/TaskGrid.h"
#include "tasks/TaskGridModel.h"
#include "tasks/uFrTasks.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

class TaskListFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previousUi = ql::Ui::install(&m_ui);
        ql::Clock::set(QDateTime(Today, QTime(9, 30)));
        ASSERT_TRUE(m_dir.isValid());
        m_tabs.resize(1000, 500);
    }

    void TearDown() override
    {
        ql::Clock::reset();
        ql::Ui::install(m_previousUi);
    }

    // A frame created as the main window does: the tab already carries its caption when OpenList
    // runs.
    ql::TfrTasks &addFrame(const QString &caption)
    {
        auto *page = new QWidget;
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *frame = new ql::TfrTasks(page);
        layout->addWidget(frame);
        m_tabs.setCurrentIndex(m_tabs.addTab(page, caption));
        return *frame;
    }

    ql::TfrTasks &newList()
    {
        ql::TfrTasks &frame = addFrame(QStringLiteral("New"));
        frame.OpenList(QStringLiteral("New"), true);
        return frame;
    }

    ql::TfrTasks &loadedList(const QString &path, const QString &caption)
    {
        ql::TfrTasks &frame = addFrame(caption);
        frame.OpenList(path, false);
        return frame;
    }

    QString caption(const ql::TfrTasks &frame) const
    {
        return ql::captionOf(m_tabs.tabText(m_tabs.indexOf(frame.parentWidget())));
    }

    void showTabs()
    {
        m_tabs.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_tabs));
    }

    // Runs what the grid's editors queue: a cell editor commits on Enter after the key event, and
    // errors raised while it does are shown after that.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    QString path(const QString &fileName) const { return m_dir.filePath(fileName); }

    // Writes a list file with one task per text; `fields` lists the fields of a list written by an
    // older or foreign program (empty: the full field set of a new list).
    QString writeList(const QString &fileName, const QStringList &tasks, const QStringList &fields = {})
    {
        ql::ClientTable table;
        if (fields.isEmpty()) {
            ql::DefineTaskTable(table);
        } else {
            ql::ClientTable full;
            ql::DefineTaskTable(full);
            full.CreateEmpty();
            for (const QString &name : fields)
                table.AddFieldDef(full.RequireField(name).def());
        }
        table.CreateEmpty();
        for (const QString &task : tasks) {
            table.AppendRow();
            table.SetText(QStringLiteral("Task"), task);
            table.SetText(QStringLiteral("Status"), QStringLiteral("Not Started"));
            table.PostRow();
        }
        const QString file = path(fileName);
        table.WriteToFile(file, ql::DataFormat::XmlUtf8);
        return file;
    }

    // Types a task into the quick-add box and presses Enter, as a user does.
    static void typeTask(ql::TfrTasks &frame, const QString &text)
    {
        auto *edit = frame.findChild<QLineEdit *>(QStringLiteral("Edit2"));
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    static QComboBox *combo(ql::TfrTasks &frame, const char *name)
    {
        return frame.findChild<QComboBox *>(QString::fromLatin1(name));
    }

    // The CHANGE_LOG the table writes into its document, and the number of stored row versions.
    static QString writtenChangeLog(ql::ClientTable &table)
    {
        const QString doc = QString::fromUtf8(table.WriteToBytes(ql::DataFormat::XmlUtf8));
        const auto match = QRegularExpression(QStringLiteral("CHANGE_LOG=\"([^\"]*)\"")).match(doc);
        return match.hasMatch() ? match.captured(1) : QString();
    }
    static int writtenRows(ql::ClientTable &table)
    {
        return int(
            QString::fromUtf8(table.WriteToBytes(ql::DataFormat::XmlUtf8)).count(QStringLiteral("<ROW ")));
    }

    QStringList shownMessages(ql::ScriptedUi::Kind kind) const
    {
        QStringList texts;
        for (const auto &prompt : m_ui.prompts())
            if (prompt.kind == kind)
                texts << prompt.text;
        return texts;
    }

    static inline const QDate Today { 2026, 3, 14 };

    ql::ScriptedUi m_ui;
    QTabWidget m_tabs;
    QTemporaryDir m_dir;

private:
    ql::Ui *m_previousUi = nullptr;
};
