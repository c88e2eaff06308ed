// The program's entry point: the command line, one Quillon per session, the application object,
// the windows created once in their fixed order, and the message loop.
#include "app/DialogPickers.h"
#include "app/SingleInstance.h"
#include "app/StartUp.h"
#include "app/Unit1.h"
#include "common/CategoryList.h"
#include "dialogs/uAbout.h"
#include "dialogs/uFrmBatchImport.h"
#include "dialogs/uFrmCategories.h"
#include "dialogs/uFrmComments.h"
#include "dialogs/uFrmDetails.h"
#include "dialogs/uFrmProgress.h"
#include "dialogs/uFrmURL.h"
#include "dialogs/ufrmDateSelect.h"
#include "dialogs/ufrmProperties.h"
#include "operations/ListOpening.h"
#include "platform/ApplicationTitle.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramInfo.h"
#include "platform/SystemFormats.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/ProgramIcon.h"
#include "platform/gui/QuillonApplication.h"
#include "platform/gui/WindowFonts.h"
#include "recent/RecentStore.h"
#include "recent/ufrmReOpen.h"
#include "report/uQRptTasks.h"

#include <QDir>
#include <QTextStream>
#include <cstdio>

namespace {

// --help, --version and a wrong command line answer on the terminal and need no display.
int answerWithoutWindow(const ql::StartRequest &request, int &argc, char **argv)
{
    const QCoreApplication core(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (request.action) {
    case ql::StartRequest::Action::Help:
        out << ql::startUsage();
        return ql::ExitAnswered;
    case ql::StartRequest::Action::Version:
        out << ql::startVersion(ql::ProgramFolder::choose(ql::ProgramFolder::executableFolder()));
        return ql::ExitAnswered;
    default:
        err << ql::startError(request.error);
        return ql::ExitBadCommandLine;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Before any thread starts: lists are read on worker threads.
    ql::shareOneHeapAcrossThreads();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ql::StartRequest request = ql::parseStartArguments(arguments, QDir::currentPath());
    if (request.action != ql::StartRequest::Action::Run)
        return answerWithoutWindow(request, argc, argv);

    ql::QuillonApplication app(argc, argv);
    // The title is the program's name, whatever the executable is called. No display name is set:
    // the platform would append it to every window title.
    QApplication::setApplicationName(ql::applicationTitle());
    QApplication::setApplicationVersion(ql::programVersion());
    // Every window carries the icon; the desktop finds the program's entry by this name.
    QApplication::setWindowIcon(ql::programIcon());
    QGuiApplication::setDesktopFileName(ql::desktopId());

    ql::SingleInstance instance(ql::SingleInstance::defaultServerName());
    switch (instance.start(request.files)) {
    case ql::SingleInstance::Role::HandedOver:
        return ql::ExitAnswered;
    case ql::SingleInstance::Role::Alone:
        QTextStream(stderr) << "quillon: " << instance.warning() << '\n';
        break;
    case ql::SingleInstance::Role::First:
        break;
    }

    ql::SystemFormats::current();
    ql::installWindowFonts();

    // Created once, in this order, and reused until the program ends. The recent-files store is
    // loaded right before the Reopen dialog that shows it; the Categories dialog reads the category
    // list from the settings file when it is created.
    ql::TfrmMain frmMain;
    ql::RecentStore recentStore;
    ql::TfrmReOpen frmReOpen(recentStore, &frmMain);
    ql::TfrmAbout frmAbout(&frmMain);
    ql::TfrmProgress frmProgress(&frmMain);
    ql::TfrmComments frmComments(&frmMain);
    ql::TfrmDateSelect frmDateSelect(&frmMain);
    ql::TfrmProperties frmProperties(&frmMain);
    ql::TfrmBatchImport frmBatchImport(&frmMain);
    ql::CategoryList categories;
    ql::TfrmCategories frmCategories(categories, &frmMain);
    ql::TfrmDetails frmDetails(&frmMain);
    ql::TfrmURL frmURL(&frmMain);
    ql::TQRptTasks report;

    ql::DialogPickers pickers(frmProgress, frmDateSelect);
    pickers.setUrlDialog(&frmURL);
    pickers.setPropertiesDialog(&frmProperties);
    pickers.setCommentsDialog(&frmComments);
    pickers.setDetailsDialog(&frmDetails);
    frmMain.setRecentStore(&recentStore);
    frmMain.setCategoryList(&categories);
    frmMain.setPickers(&pickers);
    frmMain.setReOpenDialog(&frmReOpen);
    frmMain.setAboutDialog(&frmAbout);
    frmMain.setBatchImportDialog(&frmBatchImport);
    frmMain.setCategoriesDialog(&frmCategories);
    frmMain.setReport(&report);

    frmMain.show();
    // The command line's lists open before any that a later start hands over.
    frmMain.OpenListFiles(request.files);
    ql::HandedOverFiles handedOver(
        frmMain, [&frmMain](const QStringList &files) { frmMain.OpenListFiles(files); });
    QObject::connect(&instance, &ql::SingleInstance::filesReceived, &handedOver, &ql::HandedOverFiles::add);

    const int result = QApplication::exec();
    // Entries added while the Reopen dialog was never closed reach the disk here, also when the
    // store file did not exist at start-up.
    ql::runGuarded([&] { recentStore.WriteAtProgramEnd(); });
    return result;
}
