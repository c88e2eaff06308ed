#include "cli/Cli.h"
#include "cli/CliCommandLine.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char **argv)
{
    const std::unique_ptr<QCoreApplication> app = ql::createCliApplication(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    ql::setProcessEndsAfterCommand(true);
    return ql::runCliCommandLine(QCoreApplication::arguments(), out, err);
}
