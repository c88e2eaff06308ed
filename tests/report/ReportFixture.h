#pragma once

// Lists to print, and the poppler tools that read a printed PDF back.
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QDateTime>
#include <QProcess>
#include <QString>
#include <gtest/gtest.h>
#include <memory>

namespace reportfixture {

using ql::ClientTable;

inline std::unique_ptr<ClientTable> newTaskTable()
{
    auto table = std::make_unique<ClientTable>(QStringLiteral("cdsTasks"));
    ql::DefineTaskTable(*table);
    table->CreateEmpty();
    return table;
}

struct Task
{
    QString text;
    QString priority = QStringLiteral("Normal");
    QString comments = {};
};

inline void addTask(ClientTable &table, const Task &task)
{
    table.AppendRow();
    table.SetText(QStringLiteral("Task"), task.text);
    table.SetText(QStringLiteral("Status"), QStringLiteral("In progress"));
    table.SetText(QStringLiteral("Priority"), task.priority);
    table.SetText(QStringLiteral("Difficulty"), QStringLiteral("Moderate"));
    table.SetInteger(QStringLiteral("Progress"), 50);
    table.SetText(QStringLiteral("Category"), QStringLiteral("Work"));
    table.SetDateTime(QStringLiteral("CreatedDate"), QDateTime(QDate(2024, 3, 9), QTime(0, 0)));
    table.SetDateTime(QStringLiteral("DueDate"), QDateTime(QDate(2024, 12, 31), QTime(0, 0)));
    if (!task.comments.isNull())
        table.SetText(QStringLiteral("Comments"), task.comments);
    table.PostRow();
}

inline std::unique_ptr<ClientTable> listOf(int count)
{
    auto table = newTaskTable();
    for (int i = 1; i <= count; ++i)
        addTask(*table, { QStringLiteral("Task %1").arg(i) });
    return table;
}

// Runs a poppler tool on a file and gives its standard output.
inline QString poppler(const QString &tool, const QStringList &args)
{
    QProcess process;
    process.start(tool, args);
    EXPECT_TRUE(process.waitForFinished(30000)) << tool.toStdString() << " did not finish";
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace reportfixture
