// Window benchmarks over a generated task list (offscreen): opening the list in a task-list frame,
// moving one task, adding a task from the quick-add bar, switching orders and views, a search
// keystroke, a task command and a page scroll, each with the grid repainted; closing the list's tab.
//
// The list is chosen by options given before Google Benchmark's own:
//   --tasks=N       the number of tasks of the generated list (100,000 by default)
//   --distinct      task texts that are nearly all different, as in a list kept for years
//                   (`quillon-cli generate --distinct`); without it a few thousand texts repeat
//   --list=FILE     read the list from FILE; when FILE does not exist, the list is generated there
//                   and kept, so that later runs skip the generation
#include "cli/Generator.h"
#include "operations/ListOpening.h"
#include "operations/TaskViews.h"
#include "platform/gui/ScriptedUi.h"
#include "storage/ClientTable.h"
#include "tasks/TaskGrid.h"
#include "tasks/uFrTasks.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QVBoxLayout>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>
#include <memory>

using namespace ql;

namespace {

struct ListOptions
{
    int tasks = 100000;
    bool distinct = false;
    QString file;
};

ListOptions &listOptions()
{
    static ListOptions options;
    return options;
}

// Takes this program's own options out of the command line, leaving Google Benchmark's.
void takeListOptions(int &argc, char **argv)
{
    ListOptions &options = listOptions();
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith("--tasks="))
            options.tasks = arg.mid(8).toInt();
        else if (arg == "--distinct")
            options.distinct = true;
        else if (arg.startsWith("--list="))
            options.file = QString::fromLocal8Bit(arg.mid(7));
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
}

// The list as `quillon-cli generate` writes it, with texts of their own with --distinct.
void writeGeneratedList(const QString &file)
{
    const ListOptions &options = listOptions();
    generate(file, options.tasks, 42, options.distinct);
}

const QString &listFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const ListOptions &options = listOptions();
        const QString file = options.file.isEmpty() ? dir.filePath(QStringLiteral("big.ql1")) : options.file;
        if (!QFileInfo::exists(file))
            writeGeneratedList(file);
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

// The processor time this thread has used, in ms.
double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The longest turn of the event loop while something goes on, in this thread's processor time:
// the longest time the window could not answer meanwhile. The loop sleeps while it has nothing to
// do, so the workers have the processors; on a busy machine a turn may also wait for a processor,
// which this figure leaves out.
struct LongestTurn
{
    double cpuMs = 0;

    // Runs the event loop until `done`, one turn at a time.
    template <typename Done> void until(Done done)
    {
        while (!done()) {
            const double cpu = threadCpuMs();
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            cpuMs = std::max(cpuMs, threadCpuMs() - cpu);
        }
    }

    void report(benchmark::State &state) const { state.counters["longest_turn_cpu_ms"] = cpuMs; }
};

// From the start of the open to the first screen of tasks painted, in real time. With range(0) as
// the window opens a list: a large file is read on a worker while the window turns its event loop
// (the counter is its longest turn), a small one at once; without, read at once on this thread.
void BM_OpenListInFrame(benchmark::State &state)
{
    const QString &file = listFile();
    std::unique_ptr<ShownFrame> shown;
    LongestTurn longest;
    for (auto _ : state) {
        // Making the window and freeing the last one is not opening the list. A closed tab frees a
        // large list on a worker, which must not run into the next open.
        state.PauseTiming();
        shown.reset();
        QThreadPool::globalInstance()->waitForDone();
        shown = std::make_unique<ShownFrame>();
        state.ResumeTiming();
        TfrTasks *frame = shown->frame;
        if (!state.range(0))
            frame->OpenList(file, false);
        else if (frame->BeginOpenList(file))
            longest.until([&] { return !frame->IsOpening(); });
        frame->DBGrid1->viewport()->repaint();
    }
    longest.report(state);
    state.SetLabel(state.range(0) ? "as the window opens it" : "read at once (OpenList)");
}

// Closing the tab of an open list, the window thread's share in real time. With range(0) as the
// window closes it (a large list is freed on a worker, waited for outside the timing); without, the
// list is first freed on this thread, as the window once did.
void BM_CloseListTab(benchmark::State &state)
{
    const QString &file = listFile();
    for (auto _ : state) {
        state.PauseTiming();
        auto shown = std::make_unique<ShownFrame>();
        shown->frame->OpenList(file, false);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        if (!state.range(0)) {
            ClientTable held;
            held.AdoptContents(shown->frame->cdsTasks());
        }
        shown.reset();
        state.PauseTiming();
        QThreadPool::globalInstance()->waitForDone();
        state.ResumeTiming();
    }
    state.SetLabel(state.range(0) ? "as the window closes it" : "freed on the window's thread");
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

// A user's pick of an item in a drop-down list of the bar.
void pick(QComboBox *box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// The first switch to an order after opening, with the grid repainted. With range(1) the frame
// first had its idle time after opening, in which it prepares its orders; without, a large list
// builds the order in the background and keeps its grid meanwhile. The counters say when the
// chosen order was shown (from the choice) and the longest turn of the event loop until then.
void BM_FirstOrderSwitchAndRepaint(benchmark::State &state)
{
    const QString &file = listFile();
    std::unique_ptr<ShownFrame> shown;
    const int item = int(state.range(0));
    LongestTurn longest;
    double shownAfter = 0;
    for (auto _ : state) {
        state.PauseTiming();
        shown.reset();
        QThreadPool::globalInstance()->waitForDone();
        shown = std::make_unique<ShownFrame>();
        shown->frame->OpenList(file, false);
        shown->frame->DBGrid1->viewport()->repaint();
        ClientTable &table = shown->frame->cdsTasks();
        const QString index = TaskViews::IndexForOrderItem(item);
        if (state.range(1))
            (void)QTest::qWaitFor([&] { return table.IndexPrepared(index); }, 60000);
        QElapsedTimer chosen;
        chosen.start();
        state.ResumeTiming();
        pick(shown->frame->cbOrder, item);
        shown->frame->DBGrid1->viewport()->repaint();
        state.PauseTiming();
        longest.until([&] { return shown->frame->pendingOrder().isEmpty(); });
        shown->frame->DBGrid1->viewport()->repaint();
        shownAfter = std::max(shownAfter, double(chosen.nsecsElapsed()) / 1e6);
        state.ResumeTiming();
    }
    state.counters["shown_after_ms"] = shownAfter;
    longest.report(state);
    state.SetLabel(shown->frame->cbOrder->itemText(item).toStdString()
        + (state.range(1) ? ", after idle time" : ", at once"));
}

// The idle-time preparation of every order after opening: the longest turn of the event loop
// while it runs (the longest the window could not answer), and the time until every order is
// built.
void BM_IdlePreparationLongestTurn(benchmark::State &state)
{
    const QString &file = listFile();
    std::unique_ptr<ShownFrame> shown;
    LongestTurn longest;
    for (auto _ : state) {
        state.PauseTiming();
        shown.reset();
        QThreadPool::globalInstance()->waitForDone();
        shown = std::make_unique<ShownFrame>();
        shown->frame->OpenList(file, false);
        shown->frame->DBGrid1->viewport()->repaint();
        ClientTable &table = shown->frame->cdsTasks();
        state.ResumeTiming();
        longest.until([&] {
            for (const QString &name : table.IndexNames())
                if (!table.IndexPrepared(name))
                    return false;
            return true;
        });
    }
    longest.report(state);
}

// What the frame is busy with, as its status bar says ("Searching ...", "Sorting by Task ...");
// empty when a chosen view or order is shown.
QString activity(TfrTasks &frame)
{
    return frame.findChild<QLabel *>(QStringLiteral("StatusPanel3"))->text();
}

// What the user waits for after a view switch or a search keystroke. The timed part is the
// window thread's work in the handler and the repaint (Google Benchmark's CPU time); a large list
// may then go on filtering in idle turns, and the counters say when the new view was shown (wall
// time from the choice, the longest of the iterations) and the longest turn of the event loop
// until then.
struct ViewShown
{
    LongestTurn longest;
    double shownAfterMs = 0;
    double shownAfterSumMs = 0;
    int count = 0;

    // Runs, with the timing paused, the turns until the frame shows the chosen view, then repaints.
    void wait(benchmark::State &state, TfrTasks &frame, const QElapsedTimer &chosen)
    {
        state.PauseTiming();
        longest.until([&] { return activity(frame).isEmpty(); });
        frame.DBGrid1->viewport()->repaint();
        const double ms = double(chosen.nsecsElapsed()) / 1e6;
        shownAfterMs = std::max(shownAfterMs, ms);
        shownAfterSumMs += ms;
        ++count;
        state.ResumeTiming();
    }

    void report(benchmark::State &state) const
    {
        state.counters["shown_after_ms"] = shownAfterMs;
        state.counters["shown_after_mean_ms"] = count ? shownAfterSumMs / count : 0;
        longest.report(state);
    }
};

// Opens the list in the frame and lets the frame prepare its orders in idle time first, so that a
// figure below counts the view or the search alone, not a step of that preparation in the same turn.
void openPrepared(TfrTasks &frame)
{
    frame.OpenList(listFile(), false);
    ClientTable &table = frame.cdsTasks();
    (void)QTest::qWaitFor(
        [&] {
            for (const QString &name : table.IndexNames())
                if (!table.IndexPrepared(name))
                    return false;
            return true;
        },
        120000);
}

// Switching between two views of a list, each a filter over every task, with the grid repainted.
// With range(1), only the switches to the view are timed (from "All"); without, both directions.
void BM_SwitchViewAndRepaint(benchmark::State &state)
{
    ShownFrame shown;
    openPrepared(*shown.frame);
    const int views[2] = { int(state.range(0)), 0 };
    const bool toViewOnly = state.range(1) != 0;
    int next = 0;
    ViewShown shownView;
    for (auto _ : state) {
        if (toViewOnly) {
            state.PauseTiming();
            pick(shown.frame->cbShow, 0);
            shown.frame->DBGrid1->viewport()->repaint();
            next = 0;
            state.ResumeTiming();
        }
        QElapsedTimer chosen;
        chosen.start();
        pick(shown.frame->cbShow, views[next]);
        next = 1 - next;
        shown.frame->DBGrid1->viewport()->repaint();
        shownView.wait(state, *shown.frame, chosen);
    }
    shownView.report(state);
    state.SetLabel(
        shown.frame->cbShow->itemText(views[0]).toStdString() + (toViewOnly ? ", from All" : ", both ways"));
}

// A search keystroke with the grid repainted: one letter more ("pl" to "plu", which searches only
// the tasks in view) or one letter less ("plu" to "pl", which searches every task), then Enter.
void BM_SearchKeystrokeAndRepaint(benchmark::State &state)
{
    ShownFrame shown;
    openPrepared(*shown.frame);
    const bool more = state.range(0) == 0;
    const QString before = more ? QStringLiteral("pl") : QStringLiteral("plu");
    const QString after = more ? QStringLiteral("plu") : QStringLiteral("pl");
    ViewShown shownView;
    for (auto _ : state) {
        state.PauseTiming();
        shown.frame->edSearch->setText(before);
        QTest::keyClick(shown.frame->edSearch, Qt::Key_Return);
        while (!activity(*shown.frame).isEmpty())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        state.ResumeTiming();
        QElapsedTimer chosen;
        chosen.start();
        shown.frame->edSearch->setText(after);
        QTest::keyClick(shown.frame->edSearch, Qt::Key_Return);
        shown.frame->DBGrid1->viewport()->repaint();
        shownView.wait(state, *shown.frame, chosen);
    }
    shownView.report(state);
    state.SetLabel(more ? "one letter more" : "one letter less");
}

// A task command on the current task (Bookmark), with the grid repainted.
void BM_CommandOnCurrentTaskAndRepaint(benchmark::State &state)
{
    ShownFrame shown;
    shown.frame->OpenList(listFile(), false);
    shown.frame->cdsTasks().MoveTo(shown.frame->cdsTasks().RowCount() / 2);
    for (auto _ : state) {
        shown.frame->actBookmark->trigger();
        shown.frame->DBGrid1->viewport()->repaint();
    }
}

// A page down in the grid, with the repaint.
void BM_PageScrollAndRepaint(benchmark::State &state)
{
    ShownFrame shown;
    shown.frame->OpenList(listFile(), false);
    shown.frame->DBGrid1->setFocus();
    for (auto _ : state) {
        if (shown.frame->cdsTasks().RowNumber() > shown.frame->cdsTasks().RowCount() - 100)
            shown.frame->cdsTasks().MoveFirst();
        QTest::keyClick(shown.frame->DBGrid1, Qt::Key_PageDown);
        shown.frame->DBGrid1->viewport()->repaint();
    }
}

} // namespace

BENCHMARK(BM_FirstOrderSwitchAndRepaint)
    ->ArgsProduct({ benchmark::CreateDenseRange(1, 9, 1), { 0, 1 } })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_SwitchViewAndRepaint)
    ->ArgsProduct({ { 1, 3, 8 }, { 0, 1 } })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(12);
BENCHMARK(BM_SearchKeystrokeAndRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_CommandOnCurrentTaskAndRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageScrollAndRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenListInFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_CloseListTab)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_IdlePreparationLongestTurn)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_MoveOneTaskAndRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickAddAndRepaint)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program does: lists are read on worker threads.
    shareOneHeapAcrossThreads();
    takeListOptions(argc, argv);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
