#pragma once

#include "gui/Printers.h"
#include "platform/Clock.h"
#include "platform/FileWriter.h"
#include "platform/ProgramFolder.h"
#include "platform/gui/RecordingShell.h"
#include "platform/gui/ScriptedUi.h"
#include "recent/RecentStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

// A program folder and a folder of list files in a temporary folder, a fixed clock, and prompts and
// shell that record instead of reaching a user or the desktop.
class RecentFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("program")));
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("lists")));
        ql::ProgramFolder::set(m_dir.filePath(QStringLiteral("program")));
        m_previousUi = ql::Ui::install(&m_ui);
        m_previousShell = ql::Shell::install(&m_shell);
        ql::Clock::set(QDateTime(QDate(2026, 3, 9), QTime(9, 30)));
    }

    void TearDown() override
    {
        ql::FileFaults::clear();
        ql::Clock::reset();
        ql::Shell::install(m_previousShell);
        ql::Ui::install(m_previousUi);
        ql::ProgramFolder::reset();
    }

    QString storePath() const { return ql::RecentStore::StorePath(); }

    // The path of a list file in the lists folder; created with `contents` unless it is null.
    QString listFile(const QString &name, const QByteArray &contents = QByteArray("list"))
    {
        const QString path = m_dir.filePath(QStringLiteral("lists/") + name);
        if (!contents.isNull()) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        return path;
    }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void advanceClock(int minutes) { ql::Clock::set(ql::Clock::now().addSecs(60 * minutes)); }

    // The store file of an earlier run: the paths added one minute apart, in the given order.
    void seedStore(const QStringList &paths)
    {
        ql::RecentStore earlier;
        for (const QString &path : paths) {
            earlier.AddToRecent(path);
            advanceClock(1);
        }
        earlier.WriteOnClose();
        ASSERT_TRUE(QFile::exists(storePath()));
    }

    // The paths the store's view shows, in its order.
    static QStringList shownFiles(const ql::RecentStore &store)
    {
        const ql::ClientTable &table = store.cdsFiles();
        const ql::Field &file = table.RequireField(QStringLiteral("File"));
        QStringList paths;
        for (int row = 1; row <= table.RowCount(); ++row)
            paths << table.ViewValue(row, file).text();
        return paths;
    }

    // Every path of the store, whatever the filter shows.
    static QStringList allFiles(ql::RecentStore &store)
    {
        ql::ClientTable &table = store.cdsFiles();
        const bool filtered = table.Filtered();
        table.SetFiltered(false);
        const QStringList paths = shownFiles(store);
        table.SetFiltered(filtered);
        return paths;
    }

    static QDateTime lastUsedOf(ql::RecentStore &store, const QString &path)
    {
        ql::ClientTable &table = store.cdsFiles();
        if (!table.LocateRow(QStringLiteral("File"), ql::Value::text(path)))
            return QDateTime();
        return table.AsDateTime(QStringLiteral("LastUsed"));
    }

    // The texts of the prompts of one kind shown so far.
    QStringList promptTexts(ql::ScriptedUi::Kind kind) const
    {
        QStringList texts;
        for (const auto &prompt : m_ui.prompts())
            if (prompt.kind == kind)
                texts << prompt.text;
        return texts;
    }
    QStringList messages() const { return promptTexts(ql::ScriptedUi::Kind::Message); }
    QStringList errors() const { return promptTexts(ql::ScriptedUi::Kind::Error); }

    QTemporaryDir m_dir;
    ql::ScriptedUi m_ui;
    ql::RecordingShell m_shell;

private:
    ql::Ui *m_previousUi = nullptr;
    ql::Shell *m_previousShell = nullptr;
};
