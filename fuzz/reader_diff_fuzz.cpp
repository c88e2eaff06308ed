// Reads arbitrary bytes with today's list-file reader and with the earlier one it replaced
// (fuzz/reference): both must give the same table, value for value, or fail with the same message.
#include "platform/Error.h"
#include "platform/SystemFormats.h"
#include "reference/ReferenceReader.h"
#include "storage/Datapacket.h"

#include <QCoreApplication>
#include <QLocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

struct Outcome
{
    std::optional<ql::TableData> data;
    QString error;
};

template <class Read> Outcome outcomeOf(Read read)
{
    Outcome outcome;
    try {
        outcome.data = read();
    } catch (const ql::Error &e) {
        outcome.error = e.message();
    }
    return outcome;
}

bool sameField(const ql::Field &a, const ql::Field &b)
{
    const ql::FieldDef &x = a.def();
    const ql::FieldDef &y = b.def();
    return x.name == y.name && x.type == y.type && x.width == y.width && x.readOnly == y.readOnly
        && x.required == y.required && x.hidden == y.hidden && x.linkField == y.linkField
        && a.index() == b.index();
}

bool sameTable(const ql::TableData &a, const ql::TableData &b)
{
    if (a.hasCounter != b.hasCounter || a.counter != b.counter || a.log != b.log
        || a.fields.size() != b.fields.size() || a.versions.size() != b.versions.size())
        return false;
    for (size_t i = 0; i < a.fields.size(); ++i)
        if (!sameField(a.fields[i], b.fields[i]))
            return false;
    for (size_t i = 0; i < a.versions.size(); ++i) {
        const ql::RowVersion &x = a.versions[i];
        const ql::RowVersion &y = b.versions[i];
        if (x.state != y.state || x.replaces != y.replaces || x.values != y.values)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    ql::SystemFormats::pin(QLocale(QLocale::English, QLocale::UnitedStates));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const Outcome today = outcomeOf([&] { return ql::readDatapacket(input); });
    const Outcome earlier = outcomeOf([&] { return ql::reference::readDatapacket(input); });
    if (today.data.has_value() != earlier.data.has_value()) {
        std::fprintf(stderr, "readers disagree: today %s, earlier %s\n",
            today.data ? "reads" : qPrintable(today.error),
            earlier.data ? "reads" : qPrintable(earlier.error));
        std::abort();
    }
    if (!today.data && today.error != earlier.error) {
        std::fprintf(stderr, "errors differ: today [%s], earlier [%s]\n", qPrintable(today.error),
            qPrintable(earlier.error));
        std::abort();
    }
    if (today.data && !sameTable(*today.data, *earlier.data)) {
        std::fprintf(stderr, "tables differ\n");
        std::abort();
    }
    return 0;
}
