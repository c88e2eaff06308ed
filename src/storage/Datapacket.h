#pragma once

#include "storage/ClientTable.h"

#include <QByteArray>

namespace ql {

// The datapacket document: one table written as XML without line breaks. The writer reproduces the
// byte layout exactly; the reader accepts that layout and other writers' documents of the format.
//
// With change logging on, every stored version is written with its state and the log goes into
// PARAMS; with logging off only the current rows are written, without states and without a log.
QByteArray writeDatapacket(const TableData &data, DataFormat format, bool changeLogging);

// Reads a whole document. Throws ql::Error for anything malformed; never returns a partial table.
TableData readDatapacket(const QByteArray &bytes);

// The ROW attribute that lists the fields a modified version set back to empty.
extern const char NullMarkAttribute[];

} // namespace ql
