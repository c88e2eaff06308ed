#pragma once

#include "gui/DesktopFixture.h"
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

// The desktop of DesktopFixture on 9 March 2026, with helpers for the recent-files store.
class RecentFixture : public DesktopFixture
{
protected:
    RecentFixture()
        : DesktopFixture(QDateTime(QDate(2026, 3, 9), QTime(9, 30)))
    {
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
};
