#pragma once

#include "storage/ClientTable.h"

#include <QByteArray>

namespace ql::reference {

// The earlier reader of a whole datapacket document (ReferenceReader.cpp): the same table, or the
// same error, as readDatapacket must give.
TableData readDatapacket(const QByteArray &bytes);

} // namespace ql::reference
