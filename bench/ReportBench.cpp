// Report benchmarks over a generated list of 100,000 tasks (offscreen): laying out report rows, and
// the time from the Print command's preview call until the preview window has painted its first
// page.
//
// `report_bench --preview-once` previews the list once in a fresh process and prints the time and
// the process's memory before the preview; run it under `/usr/bin/time -v` for the peak.
#include "cli/Generator.h"
#include "platform/gui/ShowModal.h"
#include "report/TaskReportLayout.h"
#include "report/uQRptTasks.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

using namespace ql;

namespace {

constexpr int Tasks = 100000;

std::unique_ptr<ClientTable> generatedList(int count)
{
    auto table = std::make_unique<ClientTable>(QStringLiteral("cdsTasks"));
    DefineTaskTable(*table);
    table->CreateEmpty();
    generateTasks(*table, count, 42);
    table->MoveFirst();
    return table;
}

// The resident memory of this process, in MB, from /proc.
long residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong() / 1024;
    }
    return -1;
}

// Runs the Print command's preview of `table` with a modal hook that shows the preview window, has
// it paint everything it shows (the first page included) and closes it; gives the milliseconds from
// the call until the window had painted.
double previewToFirstPaint(ClientTable &table)
{
    TQRptTasks report;
    QElapsedTimer timer;
    double painted = -1;
    const ModalHook previous = setModalHook([&](QDialog &dialog) {
        dialog.resize(1600, 1000);
        dialog.show();
        (void)QTest::qWaitForWindowExposed(&dialog);
        (void)dialog.grab();
        painted = double(timer.nsecsElapsed()) / 1e6;
        dialog.hide();
        return int(QDialog::Rejected);
    });
    timer.start();
    report.Preview(table, QStringLiteral("big"), nullptr);
    setModalHook(previous);
    return painted;
}

void BM_LayOutReportRows(benchmark::State &state)
{
    const auto table = generatedList(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(layOutTaskReport(*table, QStringLiteral("big")));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PreviewToFirstPage(benchmark::State &state)
{
    const auto table = generatedList(int(state.range(0)));
    for (auto _ : state) {
        const double ms = previewToFirstPaint(*table);
        state.SetIterationTime(ms / 1000);
    }
}

} // namespace

BENCHMARK(BM_LayOutReportRows)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewToFirstPage)
    ->Arg(1000)
    ->Arg(Tasks)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--preview-once") == 0) {
        const auto table = generatedList(Tasks);
        std::printf("list of %d tasks loaded: %ld MB resident\n", Tasks, residentMegabytes());
        const double ms = previewToFirstPaint(*table);
        std::printf("preview painted after %.0f ms\n", ms);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
