#pragma once

// The main window with the Reopen and Categories dialogs, as the program creates them, over a
// temporary program folder and a folder of list files; prompts and the shell are recorded.
#include "app/Unit1.h"
#include "common/CategoryList.h"
#include "dialogs/uFrmCategories.h"
#include "gui/DesktopFixture.h"
#include "gui/Printers.h"
#include "platform/Clock.h"
#include "platform/FileWriter.h"
#include "platform/ProgramFolder.h"
#include "platform/gui/RecordingShell.h"
#include "platform/gui/ScriptedUi.h"
#include "recent/ufrmReOpen.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"
#include "tasks/TabCaption.h"
#include "tasks/uFrTasks.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

class MainWindowFixture : public DesktopFixture
{
protected:
    MainWindowFixture()
        : DesktopFixture(QDateTime(QDate(2026, 3, 14), QTime(9, 30)))
    {
    }

    void SetUp() override
    {
        DesktopFixture::SetUp();
        if (HasFatalFailure())
            return;
        m_main = std::make_unique<ql::TfrmMain>();
        m_recent = std::make_unique<ql::RecentStore>();
        m_reOpen = std::make_unique<ql::TfrmReOpen>(*m_recent);
        m_categories = std::make_unique<ql::TfrmCategories>(m_categoryList);
        m_main->setRecentStore(m_recent.get());
        m_main->setCategoryList(&m_categoryList);
        m_main->setReOpenDialog(m_reOpen.get());
        m_main->setCategoriesDialog(m_categories.get());
    }

    void TearDown() override
    {
        m_main.reset();
        m_categories.reset();
        m_reOpen.reset();
        m_recent.reset();
        DesktopFixture::TearDown();
    }

    ql::TfrmMain &main() { return *m_main; }
    QTabWidget &tabs() { return *m_main->PageControl1; }

    QString listPath(const QString &name) const { return m_dir.filePath(QStringLiteral("lists/") + name); }

    // Writes a list file with one task per text.
    QString writeList(const QString &name, const QStringList &tasks = { QStringLiteral("Buy milk") })
    {
        ql::ClientTable table;
        ql::DefineTaskTable(table);
        table.CreateEmpty();
        for (const QString &task : tasks) {
            table.AppendRow();
            table.SetText(QStringLiteral("Task"), task);
            table.PostRow();
        }
        const QString path = listPath(name);
        table.WriteToFile(path, ql::DataFormat::XmlUtf8);
        return path;
    }

    // The task texts of a list file, in the order of its rows.
    static QStringList tasksIn(const QString &path)
    {
        ql::ClientTable table;
        table.ReadFromFile(path);
        const ql::Field &task = table.RequireField(QStringLiteral("Task"));
        QStringList texts;
        for (int row = 1; row <= table.RowCount(); ++row)
            texts << table.ViewValue(row, task).text();
        return texts;
    }

    // Types a task into the active list's quick-add box and presses Enter, as a user does.
    void typeTask(const QString &text)
    {
        ql::TfrTasks *frame = main().ActiveTasksFrame();
        ASSERT_NE(frame, nullptr);
        auto *edit = frame->findChild<QLineEdit *>(QStringLiteral("Edit2"));
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
        ASSERT_TRUE(frame->Modified());
    }

    // Shows the window as the active one, with a new list on its tab, as a user starts.
    void showWithNewList()
    {
        main().show();
        main().actNewExecute();
        QApplication::setActiveWindow(&main());
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main()));
    }

    // Opens a list file through the Open command, answering its dialog.
    void openList(const QString &path)
    {
        m_ui.answerOpenFile(path);
        main().actOpenExecute();
    }

    QStringList captions()
    {
        QStringList texts;
        for (int i = 0; i < tabs().count(); ++i)
            texts << ql::captionOf(tabs().tabText(i));
        return texts;
    }

    int saveDialogs() const
    {
        int count = 0;
        for (const auto &prompt : m_ui.prompts())
            count += prompt.kind == ql::ScriptedUi::Kind::SaveFile;
        return count;
    }

    // Every path the recent-files store holds.
    QStringList recentFiles()
    {
        ql::ClientTable &table = m_recent->cdsFiles();
        const ql::Field &file = table.RequireField(QStringLiteral("File"));
        QStringList paths;
        for (int row = 1; row <= table.RowCount(); ++row)
            paths << table.ViewValue(row, file).text();
        return paths;
    }

    std::unique_ptr<ql::TfrmMain> m_main;
    std::unique_ptr<ql::RecentStore> m_recent;
    std::unique_ptr<ql::TfrmReOpen> m_reOpen;
    ql::CategoryList m_categoryList;
    std::unique_ptr<ql::TfrmCategories> m_categories;
};
