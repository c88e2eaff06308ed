// quillon-cli's command line as a whole: its own options before the command, then the command.
#include "cli/CliCommandLine.h"
#include "platform/ProgramInfo.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

TEST(CliCommandLine, OwnOptionsBeforeTheCommandAndTheCommandsAfter)
{
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("Plan.ql1"));
    struct Case
    {
        QStringList arguments;
        int status;
        QString outStart;
        QString errHas;
    };
    const Case cases[] = {
        { { "--version" }, 0, QStringLiteral("quillon-cli ") + ql::programVersion() + QLatin1Char('\n'), {} },
        { { "-v" }, 0, QStringLiteral("quillon-cli ") + ql::programVersion() + QLatin1Char('\n'), {} },
        { { "--help" }, 0, QStringLiteral("Usage:\n  quillon-cli dump FILE"), {} },
        { { "-h" }, 0, QStringLiteral("Usage:\n  quillon-cli dump FILE"), {} },
        { { "--bogus", "dump", list }, 2, {},
            "quillon-cli: Unknown option 'bogus'.\nTry 'quillon-cli --help'" },
        { { "dump" }, 2, {}, "dump takes 1 argument(s), 0 given" },
        // After the command, options are the command's: --version is not one of new's.
        { { "new", list, "--version" }, 2, {}, "unknown option '--version' for new" },
        { { "new", list }, 0, {}, {} },
        { { "dump", list, "--filter", "Task = 'x'" }, 0, QStringLiteral("FIELD\tID"), {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int status = ql::runCliCommandLine(
            QStringList { QStringLiteral("quillon-cli") } + c.arguments, outStream, errStream);
        outStream.flush();
        errStream.flush();
        EXPECT_EQ(status, c.status) << err.toStdString();
        EXPECT_TRUE(out.startsWith(c.outStart)) << out.toStdString();
        EXPECT_TRUE(err.contains(c.errHas)) << err.toStdString();
        if (c.status == 0) {
            EXPECT_TRUE(err.isEmpty()) << err.toStdString();
        }
    }
}

TEST(CliCommandLine, HelpNamesTheProgramsOwnOptions)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    ASSERT_EQ(ql::runCliCommandLine(
                  { QStringLiteral("quillon-cli"), QStringLiteral("--help") }, outStream, errStream),
        0);
    outStream.flush();
    EXPECT_TRUE(out.contains(QStringLiteral("  -v, --version"))) << out.toStdString();
}

} // namespace
