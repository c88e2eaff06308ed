#pragma once

#include <QStringList>

class QTextStream;

namespace ql {

// The whole command line of quillon-cli, program name first:
//
//   quillon-cli [-h|--help] [-v|--version] COMMAND ARGUMENTS...
//
// The program's own options stand before the command; everything from the command on is the
// command's (see runCli), options included. --help prints the commands and these options,
// --version the program's version, both on `out` with status 0. An unknown option before the
// command prints the reason and a hint on `err` and gives status 2, as a wrong command does.
int runCliCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace ql
