#pragma once

#include <QStringList>
#include <memory>

class QCoreApplication;
class QTextStream;

namespace ql {

// quillon-cli: works on list files without a window, through the same table code as the program.
//
//   quillon-cli dump FILE [--filter EXPR] [--index NAME] [--locale NAME]
//   quillon-cli copy IN OUT [--plain]
//   quillon-cli new OUT
//   quillon-cli generate OUT COUNT [--seed N] [--distinct]
//   quillon-cli add FILE TEXT [--priority P] [--difficulty D] [--category C] [--assigned-to NAME]
//   quillon-cli do FILE ID start|pause|cancel|complete|bookmark|actioned|delete
//   quillon-cli do FILE ID progress N
//   quillon-cli do FILE ID date last-actioned|started|due|completed|created YYYY-MM-DD
//   quillon-cli report FILE OUT.pdf [--filter EXPR] [--index NAME] [--locale NAME] [--force]
//
// generate writes a list of made-up tasks; with --distinct almost every task has a text of its own
// (without it, the texts repeat, as they come from small pools).
//
// add and do run the window's quick add and task commands on a list file and save it, through the
// same task operations; --today YYYY-MM-DD sets the day they take as today. add takes a priority
// (Normal, Urgent, High, Low) and a difficulty (Easy, Moderate, Hard) from the grid's pick lists,
// in any case, and stores the word as the list spells it; another word is a bad command line.
//
// Every command that writes a list (add, do, copy, new, generate) holds the list's lock (FileLock)
// from reading it until its new version is in place, so that commands run at once on one list run
// one after the other and none loses another's change. Only regular files are read or written over:
// a named pipe or a device is refused at once, and so is a list the user may not write ("The file
// "PATH" is read-only.").
//
// `args` are the arguments after the program name. Options may stand anywhere after the command,
// as "--name VALUE" or "--name=VALUE"; "--" ends the options. Returns the exit status: 0 done,
// 1 the table's error (its message alone on `err`), 2 a bad command line (the reason and the usage
// on `err`). "--help" prints the usage on `out` and returns 0.
//
// dump prints one line per field, per row of the view and the totals, fields separated by tabs:
//   FIELD  name  type word [width of a text field] [SUBTYPE]
//   ROW    name=value ...        (non-null fields in field order)
//   COUNT  rows in the view
//   AUTOINC  the counter, when the table has one
// Values: text with \\ \t \r \n escaped, numbers in decimal, TRUE/FALSE, dates YYYY-MM-DD,
// date-times YYYY-MM-DDTHH:MM:SS.zzz, times HH:MM:SS.zzz. --locale pins the system formats (for
// date literals in the filter and the collation of orders) for this run only.
//
// report writes the task report of the list's view (in the order and filter given as for dump) to
// a PDF file, as the window prints it: headed by the file's name as its tab shows it, with the
// dates in the system formats (--locale pins them). The file is written whole or not at all. It is
// never written in place of the list it is made from (by any name or link), nor in place of another
// task list unless --force is given. It
// needs a QGuiApplication (see createCliApplication); without one it fails with status 1.
int runCli(const QStringList &args, QTextStream &out, QTextStream &err);

// Tells runCli that the process ends as soon as the command is done (quillon-cli's main says so):
// dump then leaves the table it read to the system, which takes the whole memory back at once,
// instead of freeing it row by row, a good part of a second for a million tasks.
void setProcessEndsAfterCommand(bool ends);

// The application object for a run of quillon-cli with these arguments: a QCoreApplication, or for
// report, which lays out and paints text, a QGuiApplication on the offscreen platform unless
// QT_QPA_PLATFORM names another, so that it runs without a display.
std::unique_ptr<QCoreApplication> createCliApplication(int &argc, char **argv);

} // namespace ql
