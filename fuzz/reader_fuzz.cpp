// Feeds arbitrary bytes to the list-file reader. Whatever it accepts must write back to a document
// that reads again to the very same bytes: the reader and the writer agree on everything they keep.
#include "platform/Error.h"
#include "platform/SystemFormats.h"
#include "storage/ClientTable.h"

#include <QCoreApplication>
#include <QLocale>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    ql::SystemFormats::pin(QLocale(QLocale::English, QLocale::UnitedStates));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    ql::ClientTable table;
    try {
        table.ReadFromBytes(input);
    } catch (const ql::Error &) {
        if (table.Active())
            std::abort(); // a failed read must leave the table closed
        return 0;
    }
    QByteArray written;
    try {
        written = table.WriteToBytes(ql::DataFormat::XmlUtf8);
    } catch (const ql::Error &) {
        return 0; // e.g. a row the counter cannot number; never a crash
    }
    ql::ClientTable again;
    again.ReadFromBytes(written);
    if (again.WriteToBytes(ql::DataFormat::XmlUtf8) != written || again.RowCount() != table.RowCount())
        std::abort();

    // Walk the rows and every order-relevant operation once.
    for (again.MoveFirst(); !again.AtEnd(); again.MoveNext())
        for (const ql::Field &f : again.Fields())
            (void)again.AsText(f.name());
    return 0;
}
