#pragma once

#include "platform/Clock.h"
#include "platform/FileWriter.h"
#include "platform/ProgramFolder.h"
#include "platform/gui/RecordingShell.h"
#include "platform/gui/ScriptedUi.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The desktop as the window tests see it: a program folder and a folder of list files in a
// temporary folder, a fixed clock, and prompts and a shell that record instead of reaching a user or
// the desktop. Everything is put back after each test.
class DesktopFixture : public ::testing::Test
{
protected:
    explicit DesktopFixture(const QDateTime &now)
        : m_now(now)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("program")));
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("lists")));
        ql::ProgramFolder::set(m_dir.filePath(QStringLiteral("program")));
        m_previousUi = ql::Ui::install(&m_ui);
        m_previousShell = ql::Shell::install(&m_shell);
        ql::Clock::set(m_now);
    }

    void TearDown() override
    {
        ql::FileFaults::clear();
        ql::Clock::reset();
        ql::Shell::install(m_previousShell);
        ql::Ui::install(m_previousUi);
        ql::ProgramFolder::reset();
    }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    QStringList questions() const { return promptTexts(ql::ScriptedUi::Kind::Question); }
    QStringList errors() const { return promptTexts(ql::ScriptedUi::Kind::Error); }

    QTemporaryDir m_dir;
    ql::ScriptedUi m_ui;
    ql::RecordingShell m_shell;

private:
    QDateTime m_now;
    ql::Ui *m_previousUi = nullptr;
    ql::Shell *m_previousShell = nullptr;
};
