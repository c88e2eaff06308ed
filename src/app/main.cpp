// The program's entry point: the application object, the windows created once in their fixed
// order, and the message loop.
#include "app/DialogPickers.h"
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
#include "platform/ApplicationTitle.h"
#include "platform/SystemFormats.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/QuillonApplication.h"
#include "platform/gui/WindowFonts.h"
#include "recent/RecentStore.h"
#include "recent/ufrmReOpen.h"
#include "report/uQRptTasks.h"

int main(int argc, char *argv[])
{
    ql::QuillonApplication app(argc, argv);
    // The title is the program's name, whatever the executable is called. No display name is set:
    // the platform would append it to every window title.
    QApplication::setApplicationName(ql::applicationTitle());
    ql::SystemFormats::current();
    ql::installWindowFonts();

    // Created once, in this order, and reused until the program ends. The recent-files store is
    // loaded right before the Reopen dialog that shows it; the Categories dialog reads the category
    // list from the settings file when it is created. The two forms the program never shows (Set
    // Time and Form edit) are not built.
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
    const int result = QApplication::exec();
    // Entries added while the Reopen dialog was never closed reach the disk here, also when the
    // store file did not exist at start-up.
    ql::runGuarded([&] { recentStore.WriteAtProgramEnd(); });
    return result;
}
