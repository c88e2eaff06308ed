// The program's entry point: the application object, the windows created once in their fixed
// order, and the message loop.
#include "app/DialogPickers.h"
#include "app/Unit1.h"
#include "common/CategoryList.h"
#include "dialogs/uFrmCategories.h"
#include "dialogs/uFrmProgress.h"
#include "dialogs/ufrmDateSelect.h"
#include "platform/ApplicationTitle.h"
#include "platform/SystemFormats.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/QuillonApplication.h"
#include "platform/gui/WindowFonts.h"
#include "recent/RecentStore.h"
#include "recent/ufrmReOpen.h"

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
    // list from the settings file when it is created.
    ql::TfrmMain frmMain;
    ql::RecentStore recentStore;
    ql::TfrmReOpen frmReOpen(recentStore, &frmMain);
    ql::TfrmProgress frmProgress(&frmMain);
    ql::TfrmDateSelect frmDateSelect(&frmMain);
    ql::DialogPickers pickers(frmProgress, frmDateSelect);
    ql::CategoryList categories;
    ql::TfrmCategories frmCategories(categories, &frmMain);
    frmMain.setRecentStore(&recentStore);
    frmMain.setCategoryList(&categories);
    frmMain.setPickers(&pickers);
    frmMain.setReOpenDialog(&frmReOpen);
    frmMain.setCategoriesDialog(&frmCategories);

    frmMain.show();
    const int result = QApplication::exec();
    // Entries added while the Reopen dialog was never closed reach the disk here, also when the
    // store file did not exist at start-up.
    ql::runGuarded([&] { recentStore.WriteAtProgramEnd(); });
    return result;
}
