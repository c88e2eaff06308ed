#include "app/StartUp.h"

#include "platform/ProgramInfo.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace ql {

namespace {

// The options QGuiApplication and QApplication take for themselves, with a value or without.
const char *const QtValueOptions[] = { "platform", "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "name", "title", "geometry",
    "style", "stylesheet", "qmljsdebugger", "visual" };
const char *const QtFlags[] = { "reverse", "widgetcount", "nograb", "dograb", "sync" };

// How often handed-over files look again whether a modal dialog has closed.
constexpr int RetryMs = 250;

QString absolutePath(const QString &argument, const QString &currentFolder)
{
    QString path = argument;
    if (argument.startsWith(QLatin1String("file:"))) {
        const QUrl url(argument);
        if (url.isLocalFile())
            path = url.toLocalFile();
    }
    return QDir::cleanPath(QDir(currentFolder).absoluteFilePath(path));
}

} // namespace

StartRequest parseStartArguments(const QStringList &arguments, const QString &currentFolder)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(
        QStringList { QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("help-all") });
    const QCommandLineOption version(QStringList { QStringLiteral("v"), QStringLiteral("version") });
    parser.addOption(help);
    parser.addOption(version);
    for (const char *name : QtValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char *name : QtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    StartRequest request;
    if (!parser.parse(arguments)) {
        request.action = StartRequest::Action::Error;
        request.error = parser.errorText();
        return request;
    }
    if (parser.isSet(help)) {
        request.action = StartRequest::Action::Help;
        return request;
    }
    if (parser.isSet(version)) {
        request.action = StartRequest::Action::Version;
        return request;
    }
    for (const QString &argument : parser.positionalArguments()) {
        // An empty argument (a script's unset variable) names no file; taken as one, it would be
        // the current folder.
        if (!argument.isEmpty())
            request.files << absolutePath(argument, currentFolder);
    }
    return request;
}

QString startUsage()
{
    return QStringLiteral(
        "Usage: quillon [OPTION...] [FILE...]\n"
        "Opens each task-list FILE (.ql1) in a tab of its own. When Quillon is already running in this\n"
        "session, the files open in its window instead.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and end\n"
        "  -v, --version  show the version and the folder of Quillon's own files, and end\n"
        "\n"
        "Qt's own options, such as -platform NAME and -style NAME, are taken as well.\n");
}

QString startVersion(const QString &programFolder)
{
    return QStringLiteral("quillon %1\nRecent files and categories: %2\n")
        .arg(programVersion(), QDir::toNativeSeparators(programFolder));
}

QString startError(const QString &error)
{
    return QStringLiteral("quillon: %1\nTry 'quillon --help' for more information.\n").arg(error);
}

HandedOverFiles::HandedOverFiles(
    QWidget &window, std::function<void(const QStringList &)> open, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_open(std::move(open))
    , m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(RetryMs);
    connect(m_retry, &QTimer::timeout, this, &HandedOverFiles::openWhenFree);
}

void HandedOverFiles::add(const QStringList &files)
{
    m_pending += files;
    bringToFront(m_window);
    openWhenFree();
}

void HandedOverFiles::openWhenFree()
{
    if (m_pending.isEmpty())
        return;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        m_retry->start();
        return;
    }
    const QStringList files = std::exchange(m_pending, {});
    m_open(files);
}

void bringToFront(QWidget &window)
{
    if (window.isMinimized())
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace ql
