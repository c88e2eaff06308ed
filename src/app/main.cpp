// The program's entry point: the application object, the windows created once in their fixed
// order, and the message loop.
#include "app/Unit1.h"
#include "dialogs/uFrmCategories.h"
#include "platform/ApplicationTitle.h"
#include "platform/SystemFormats.h"
#include "platform/gui/QuillonApplication.h"
#include "platform/gui/WindowFonts.h"
#include "recent/ufrmReOpen.h"

int main(int argc, char *argv[])
{
    ql::QuillonApplication app(argc, argv);
    // The title is the program's name, whatever the executable is called. No display name is set:
    // the platform would append it to every window title.
    QApplication::setApplicationName(ql::applicationTitle());
    ql::SystemFormats::current();
    ql::installWindowFonts();

    // Created once, in this order, and reused until the program ends. Creating the Reopen dialog
    // loads the recent-files store; creating the Categories dialog reads the category list.
    ql::TfrmMain frmMain;
    ql::TfrmReOpen frmReOpen(&frmMain);
    ql::TfrmCategories frmCategories(&frmMain);
    frmMain.setReOpenDialog(&frmReOpen);
    frmMain.setCategoriesDialog(&frmCategories);

    frmMain.show();
    // The dialogs go before the main window and the application object (reverse order of
    // declaration): destroying the Reopen dialog writes the recent-files store when it changed.
    return QApplication::exec();
}
