// Window benchmarks over a generated list of 100,000 tasks (offscreen): opening the list in a
// task-list frame, moving one task with the grid repainted, and adding a task from the quick-add bar.
#include "cli/Generator.h"
#include "platform/gui/ScriptedUi.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"
#include "tasks/TaskGrid.h"
#include "tasks/uFrTasks.h"

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>
#include <memory>

using namespace ql;

namespace {

constexpr int Tasks = 100000;

const QString &listFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("big.ql1"));
        ClientTable table;
        DefineTaskTable(table);
        table.CreateEmpty();
        generateTasks(table, Tasks, 42);
        table.WriteToFile(file, DataFormat::XmlUtf8);
        return file;
    }();
    return path;
}

// A frame on a tab of a shown tab widget, as the main window shows it.
struct ShownFrame
{
    QTabWidget tabs;
    TfrTasks *frame = nullptr;

    ShownFrame()
    {
        tabs.resize(1138, 560);
        auto *page = new QWidget;
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        frame = new TfrTasks(page);
        layout->addWidget(frame);
        tabs.addTab(page, QStringLiteral("big"));
        tabs.show();
        (void)QTest::qWaitForWindowExposed(&tabs);
    }
};

void BM_OpenListInFrame(benchmark::State &state)
{
    const QString &file = listFile();
    std::unique_ptr<ShownFrame> shown;
    for (auto _ : state) {
        // Making the window and freeing the last one is not opening the list.
        state.PauseTiming();
        shown.reset();
        shown = std::make_unique<ShownFrame>();
        state.ResumeTiming();
        shown->frame->OpenList(file, false);
        shown->frame->DBGrid1->viewport()->repaint();
    }
}

void BM_MoveOneTaskAndRepaint(benchmark::State &state)
{
    ShownFrame shown;
    shown.frame->OpenList(listFile(), false);
    ClientTable &table = shown.frame->cdsTasks();
    for (auto _ : state) {
        if (table.AtEnd())
            table.MoveFirst();
        table.MoveNext();
        shown.frame->DBGrid1->viewport()->repaint();
    }
}

void BM_QuickAddAndRepaint(benchmark::State &state)
{
    ScriptedUi ui;
    Ui *previous = Ui::install(&ui);
    ShownFrame shown;
    shown.frame->OpenList(listFile(), false);
    auto *entry = shown.frame->findChild<QLineEdit *>(QStringLiteral("Edit2"));
    for (auto _ : state) {
        entry->setText(QStringLiteral("Call the plumber about the leak"));
        QTest::keyClick(entry, Qt::Key_Return);
        shown.frame->DBGrid1->viewport()->repaint();
    }
    Ui::install(previous);
    if (!ui.prompts().empty())
        state.SkipWithError("quick add showed a message");
}

} // namespace

BENCHMARK(BM_OpenListInFrame)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MoveOneTaskAndRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickAddAndRepaint)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
