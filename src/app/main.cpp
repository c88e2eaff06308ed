// The program's entry point. The main window is a plain frame for now: the task-list shell is
// built on top of it.
#include "platform/SystemFormats.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The title is the program's name, whatever the executable is called.
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillon"));
    ql::SystemFormats::current();

    QMainWindow window;
    window.setObjectName(QStringLiteral("frmMain"));
    window.setWindowTitle(QStringLiteral("Quillon"));
    window.resize(800, 600);
    auto *hint = new QLabel(QStringLiteral("Quillon"), &window);
    hint->setAlignment(Qt::AlignCenter);
    hint->setAccessibleName(QStringLiteral("Quillon"));
    window.setCentralWidget(hint);
    window.show();
    return app.exec();
}
