#include "cli/CliCommandLine.h"

#include "cli/Cli.h"
#include "platform/ProgramInfo.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace ql {

int runCliCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    // The command's own options are its business.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    const QCommandLineOption version(QStringList { QStringLiteral("v"), QStringLiteral("version") });
    parser.addOption(help);
    parser.addOption(version);

    if (!parser.parse(arguments)) {
        err << "quillon-cli: " << parser.errorText() << "\nTry 'quillon-cli --help' for more information.\n";
        err.flush();
        return 2;
    }
    if (parser.isSet(help)) {
        // The commands, as runCli gives them, then the program's own options.
        runCli({ QStringLiteral("--help") }, out, err);
        out << "\nOptions:\n"
               "  -h, --help     show this help and end\n"
               "  -v, --version  show the version and end\n";
        out.flush();
        return 0;
    }
    if (parser.isSet(version)) {
        out << "quillon-cli " << programVersion() << '\n';
        out.flush();
        return 0;
    }
    return runCli(parser.positionalArguments(), out, err);
}

} // namespace ql
