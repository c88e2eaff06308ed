// Storage benchmarks over generated task lists of 1,000, 10,000 and 100,000 tasks: reading (and
// pugixml's bare parse of the same bytes for comparison), writing, switching orders, the view
// filters and the search, and posting into a large list. Besides, reading crafted documents whose
// shape would make a careless reader's work grow with the square of their size.
#include "cli/Generator.h"
#include "platform/SystemFormats.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <memory>
#include <pugixml.hpp>

using namespace ql;

namespace {

const QByteArray &listBytes(int count)
{
    static std::map<int, QByteArray> cache;
    auto it = cache.find(count);
    if (it == cache.end()) {
        ClientTable table;
        DefineTaskTable(table);
        table.CreateEmpty();
        generateTasks(table, count, 42);
        it = cache.emplace(count, table.WriteToBytes(DataFormat::XmlUtf8)).first;
    }
    return it->second;
}

std::unique_ptr<ClientTable> loadedList(int count)
{
    auto table = std::make_unique<ClientTable>(QStringLiteral("cdsTasks"));
    DefineTaskTable(*table);
    table->ClearFields();
    table->ReadFromBytes(listBytes(count));
    return table;
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}

void BM_PugixmlBareParse(benchmark::State &state)
{
    const QByteArray &bytes = listBytes(int(state.range(0)));
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_buffer(bytes.constData(), size_t(bytes.size())));
    }
    state.SetBytesProcessed(qint64(state.iterations()) * bytes.size());
}
BENCHMARK(BM_PugixmlBareParse)->Apply(sizes);

void BM_Read(benchmark::State &state)
{
    const QByteArray &bytes = listBytes(int(state.range(0)));
    for (auto _ : state) {
        auto table = std::make_unique<ClientTable>();
        table->ReadFromBytes(bytes);
        benchmark::DoNotOptimize(table->RowCount());
        // Freeing the table is not part of reading it.
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * bytes.size());
}
BENCHMARK(BM_Read)->Apply(sizes);
// A small list, which must read no slower than before.
BENCHMARK(BM_Read)->Arg(100)->Unit(benchmark::kMicrosecond);

// A document of `fields` text fields and `rows` rows, each row with `unknownPerRow` attributes that
// name no field, or, with `modifiedPairs`, that many superseded versions followed by as many
// modified versions without a change log (each must find the version it replaces).
QByteArray craftedDocument(int fields, int rows, int unknownPerRow, int modifiedPairs = 0)
{
    QByteArray out
        = "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
    for (int i = 0; i < fields; ++i)
        out += "<FIELD attrname=\"Field" + QByteArray::number(i) + "\" fieldtype=\"string\" WIDTH=\"20\"/>";
    out += "</FIELDS><PARAMS/></METADATA><ROWDATA>";
    for (int r = 0; r < rows; ++r) {
        out += "<ROW";
        for (int u = 0; u < unknownPerRow; ++u)
            out += " Unknown" + QByteArray::number(u) + "=\"x\"";
        out += "/>";
    }
    for (int i = 0; i < modifiedPairs; ++i)
        out += "<ROW RowState=\"5\" Field0=\"" + QByteArray::number(i) + "\"/>";
    for (int i = 0; i < modifiedPairs; ++i)
        out += "<ROW RowState=\"8\"/>";
    return out + "</ROWDATA></DATAPACKET>";
}

void readCrafted(benchmark::State &state, const QByteArray &bytes)
{
    for (auto _ : state) {
        auto table = std::make_unique<ClientTable>();
        table->ReadFromBytes(bytes);
        benchmark::DoNotOptimize(table->RowCount());
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(qint64(state.iterations()) * bytes.size());
    state.SetLabel(QByteArray::number(bytes.size() / 1000) + " KB");
}

// N fields and no rows: every field name is checked against the others without regard to case.
void BM_ReadCraftedFields(benchmark::State &state)
{
    readCrafted(state, craftedDocument(int(state.range(0)), 0, 0));
}
BENCHMARK(BM_ReadCraftedFields)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// N fields and four rows of N attributes that name no field.
void BM_ReadCraftedUnknownAttributes(benchmark::State &state)
{
    const int n = int(state.range(0));
    readCrafted(state, craftedDocument(n, 4, n));
}
BENCHMARK(BM_ReadCraftedUnknownAttributes)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// One field, N superseded versions, then N modified versions without a change log.
void BM_ReadCraftedModifiedVersions(benchmark::State &state)
{
    readCrafted(state, craftedDocument(1, 0, 0, int(state.range(0))));
}
BENCHMARK(BM_ReadCraftedModifiedVersions)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Serialising only; the flush to disk is measured apart below.
void BM_Write(benchmark::State &state)
{
    auto table = loadedList(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(table->WriteToBytes(DataFormat::XmlUtf8));
}
BENCHMARK(BM_Write)->Apply(sizes);

void BM_WriteToFile(benchmark::State &state)
{
    auto table = loadedList(int(state.range(0)));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.ql1"));
    for (auto _ : state)
        table->WriteToFile(path, DataFormat::XmlUtf8);
}
BENCHMARK(BM_WriteToFile)->Apply(sizes);

// Saving a list of a million tasks: serialising it and writing the file whole (synced, then put in
// place), as Save does.
BENCHMARK(BM_Write)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteToFile)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

const QStringList &orderNames()
{
    static const QStringList names = [] {
        ClientTable table;
        DefineTaskTable(table);
        return table.IndexNames();
    }();
    return names;
}

void sizesAndOrders(benchmark::internal::Benchmark *b)
{
    for (int n : { 1000, 10000, 100000 })
        for (int i = 0; i < orderNames().size(); ++i)
            b->Args({ n, i });
    b->Unit(benchmark::kMillisecond);
}

// The first switch to an order of a loaded list builds it.
void BM_FirstSwitchToOrder(benchmark::State &state)
{
    const QString name = orderNames()[int(state.range(1))];
    state.SetLabel(name.toStdString());
    for (auto _ : state) {
        state.PauseTiming();
        auto table = loadedList(int(state.range(0)));
        state.ResumeTiming();
        table->SetIndexName(name);
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstSwitchToOrder)->Apply(sizesAndOrders);

// Preparing an order of a loaded 100,000-task list ahead of its use in steps of 4,000 rows, as a
// task-list window does while idle: the time of the whole preparation, and of its longest step.
void BM_PrepareOrderInSteps(benchmark::State &state)
{
    const QString name = orderNames()[int(state.range(0))];
    state.SetLabel(name.toStdString());
    double longest = 0;
    int steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto table = loadedList(100000);
        state.ResumeTiming();
        steps = 0;
        for (bool done = false; !done; ++steps) {
            const auto start = std::chrono::steady_clock::now();
            done = table->PrepareIndexStep(name, 4000);
            longest = std::max(longest,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["steps"] = steps;
    state.counters["longest_ms"] = longest;
}
BENCHMARK(BM_PrepareOrderInSteps)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

// Switching to an order that is already built, as the user does after the first time.
void BM_SwitchToBuiltOrder(benchmark::State &state)
{
    auto table = loadedList(int(state.range(0)));
    for (const QString &name : orderNames())
        table->SetIndexName(name);
    const QString name = orderNames()[int(state.range(1))];
    const QString other = orderNames()[(int(state.range(1)) + 1) % orderNames().size()];
    state.SetLabel(name.toStdString());
    for (auto _ : state) {
        table->SetIndexName(name);
        state.PauseTiming();
        table->SetIndexName(other);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SwitchToBuiltOrder)->Apply(sizesAndOrders);

// The expressions of the list's fixed views and a search.
const std::vector<std::pair<const char *, QString>> &views()
{
    static const std::vector<std::pair<const char *, QString>> list = [] {
        const QString today = SystemFormats::current().formatDate(QDate(2024, 3, 9));
        return std::vector<std::pair<const char *, QString>> {
            { "High Priority", "Priority = 'High' and Status <> 'Complete' " },
            { "Urgent Priority", "Priority = 'Urgent' and Status <> 'Complete' " },
            { "In progress", "Status = 'In progress' " },
            { "Not Started", "Status = 'Not Started' " },
            { "Completed", "Status = 'Complete' " },
            { "Hard", "Difficulty = 'Hard' and Status <> 'Complete' " },
            { "Easy", "Difficulty = 'Easy' and Status <> 'Complete' " },
            { "Completed Today", "Status = 'Complete' and CompletedDate = '" + today + "' " },
            { "Created Today", "CreatedDate = '" + today + "' " },
            { "Bookmarked", "Bookmarked =True " },
            { "Search", "Task LIKE '%milk%'" },
        };
    }();
    return list;
}

void sizesAndViews(benchmark::internal::Benchmark *b)
{
    for (int n : { 1000, 10000, 100000 })
        for (int i = 0; i < int(views().size()); ++i)
            b->Args({ n, i });
    b->Unit(benchmark::kMillisecond);
}

void BM_ApplyView(benchmark::State &state)
{
    auto table = loadedList(int(state.range(0)));
    const auto &view = views()[size_t(state.range(1))];
    state.SetLabel(view.first);
    for (auto _ : state) {
        table->SetFilter(view.second);
        table->SetFiltered(true);
        benchmark::DoNotOptimize(table->RowCount());
        state.PauseTiming();
        table->SetFiltered(false);
        table->SetFilter(QString());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ApplyView)->Apply(sizesAndViews);

// Appending and posting 1,000 tasks into a list with all nine orders built.
void BM_Append1000(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto table = loadedList(int(state.range(0)));
        for (const QString &name : orderNames())
            table->SetIndexName(name);
        table->SetIndexName(QStringLiteral("cdsTasksIndexID"));
        state.ResumeTiming();
        generateTasks(*table, 1000, 7);
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Append1000)->Apply(sizes);

// One task posted into a list with all orders built: should not grow with the list.
void BM_PostOneTask(benchmark::State &state)
{
    auto table = loadedList(int(state.range(0)));
    for (const QString &name : orderNames())
        table->SetIndexName(name);
    int i = 0;
    for (auto _ : state) {
        table->AppendRow();
        table->SetText(QStringLiteral("Task"), QStringLiteral("Benchmark task %1").arg(++i));
        table->SetText(QStringLiteral("Status"), QStringLiteral("Not Started"));
        table->SetText(QStringLiteral("Priority"), QStringLiteral("Normal"));
        table->SetText(QStringLiteral("Difficulty"), QStringLiteral("Easy"));
        table->SetInteger(QStringLiteral("Progress"), 0);
        table->PostRow();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PostOneTask)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SystemFormats::pin(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
