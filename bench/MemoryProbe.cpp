// Where the memory of a large list goes: reads a list file as the window does (into a table of its
// own, then handed over), builds its nine orders as the idle preparation does, and prints the
// process's resident memory and the heap in use after each step.
//
//   memory_probe LIST [--orders]

#include "operations/ListOpening.h"
#include "storage/ClientTable.h"
#include "storage/ClientTableOrder.h"
#include "storage/TaskSchema.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <cstdio>
#include <ctime>
#include <malloc.h>

namespace {

long statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(strlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

// Prints the memory now, and the processor time of all threads since the step before.
void report(const char *step)
{
    static std::clock_t last = std::clock();
    const std::clock_t now = std::clock();
    const struct mallinfo2 heap = mallinfo2();
    std::printf("%-34s rss %7.1f MiB  peak %7.1f MiB  heap in use %7.1f MiB  cpu %6.2f s\n", step,
        double(statusKb("VmRSS:")) / 1024, double(statusKb("VmHWM:")) / 1024,
        double(heap.uordblks + heap.hblkhd) / (1024.0 * 1024.0), double(now - last) / CLOCKS_PER_SEC);
    last = now;
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    ql::shareOneHeapAcrossThreads();
    QCoreApplication app(argc, argv);
    report("start");
    if (argc < 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const bool orders = argc > 2 && QByteArray(argv[2]) == "--orders";

    auto read = std::make_unique<ql::ClientTable>();
    ql::DefineTaskTable(*read);
    read->ClearFields();
    read->SetIndexName(ql::TaskOrder::ID);
    ql::readListFile(*read, path);
    report("table read");

    const ql::TableData &data = read->Data();
    size_t textChars = 0, textBlocks = 0, textValues = 0;
    std::unique_ptr<QSet<const void *>> seen = std::make_unique<QSet<const void *>>();
    for (const ql::RowVersion &version : data.versions)
        for (const ql::Value &value : version.values)
            if (value.kind() == ql::Value::Kind::Text && !value.textView().isEmpty()) {
                ++textValues;
                const void *block = value.textView().data();
                if (!seen->contains(block)) {
                    seen->insert(block);
                    ++textBlocks;
                    textChars += size_t(value.textView().size());
                }
            }
    std::printf("  versions %zu, fields %zu, values %.1f MiB; texts %zu (%zu distinct, %.1f MiB of "
                "characters); change log %zu entries\n",
        data.versions.size(), data.fields.size(),
        double(data.versions.size() * (data.fields.size() * sizeof(ql::Value) + sizeof(ql::RowVersion)))
            / (1024.0 * 1024.0),
        textValues, textBlocks, double(textChars * 2) / (1024.0 * 1024.0), data.log.size());
    seen.reset();
    report("texts counted");

    ql::ClientTable shown;
    ql::DefineTaskTable(shown);
    shown.ClearFields();
    shown.AdoptContents(*read);
    read.reset();
    report("handed over");
    if (!orders)
        return 0;
    const std::atomic<bool> cancel { false };
    for (const QString &name : shown.IndexNames()) {
        auto build = shown.BeginIndexBuild(name);
        if (build) {
            while (!shown.SnapshotIndexStep(*build, 50000)) { }
            ql::ClientTable::RunIndexBuild(*build, cancel);
            shown.FinishIndexBuild(*build);
        }
        build.reset();
        report(qPrintable(QStringLiteral("order ") + name));
    }
    return 0;
}
