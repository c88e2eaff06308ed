// The main window with one list open, closed on request, for timing Close List while an
// accessibility client from another process has read the grid's cells (see close_list_with_reader.py).
//
//   close_list_harness LIST.ql1
//
// Opens LIST.ql1 on a tab of a shown main window and writes "ready" on a line of its own. Every
// line "close" that arrives on its standard input runs the window's Close command on the active
// list and writes "closed MS CPU_MS DRAIN_MS": the time the command took, the processor time the
// user-interface thread spent on it (the figure that holds on a busy machine), and the time the
// event queue took to run empty after it, in milliseconds. End of input quits.
#include "app/Unit1.h"
#include "common/CategoryList.h"
#include "platform/gui/QuillonApplication.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

qint64 threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

int main(int argc, char **argv)
{
    ql::QuillonApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("close_list_harness"));
    if (argc != 2 || !QFileInfo(QString::fromLocal8Bit(argv[1])).isFile()) {
        std::fprintf(stderr, "usage: close_list_harness LIST.ql1\n");
        return 2;
    }

    ql::TfrmMain frmMain;
    ql::CategoryList categories;
    frmMain.setCategoryList(&categories);
    frmMain.resize(1138, 700);
    frmMain.show();
    frmMain.OpenListFile(QString::fromLocal8Bit(argv[1]));
    std::printf("ready\n");
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            QApplication::quit();
            return;
        }
        pending.append(buffer, int(got));
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line != "close")
                continue;
            QElapsedTimer timer;
            const qint64 cpuBefore = threadCpuMs();
            timer.start();
            frmMain.actClose->trigger();
            const qint64 closeMs = timer.elapsed();
            const qint64 cpuMs = threadCpuMs() - cpuBefore;
            timer.restart();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const qint64 drainMs = timer.elapsed();
            std::printf("closed %lld %lld %lld\n", static_cast<long long>(closeMs),
                static_cast<long long>(cpuMs), static_cast<long long>(drainMs));
            std::fflush(stdout);
        }
    });
    return QApplication::exec();
}
