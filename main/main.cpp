#include "commandline.h"
#include "helpfile.h"
#include "mainwindow.h"
#include "nativepath.h"
#include "startup.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

namespace {
int wrongArguments(const QString &error)
{
    std::fprintf(stderr, "tagloom-html: %s\nTry tagloom-html --help.\n", qPrintable(error));
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    // Help and the check need no display: they are told apart before any
    // GUI is made, and the check runs on a plain core application.
    CommandLine line = parseCommandLine(argc, argv);
    if (line.mode == CommandLine::Help) {
        std::fputs(qPrintable(commandLineUsage()), stdout);
        return 0;
    }
    if (line.mode == CommandLine::Check) {
        if (!line.error.isEmpty())
            return wrongArguments(line.error);
        QCoreApplication app(argc, argv);
        return checkPagesFromCommandLine(line.files, stdout, stderr);
    }
    if (line.mode == CommandLine::CheckSite) {
        if (!line.error.isEmpty())
            return wrongArguments(line.error);
        QCoreApplication app(argc, argv);
        return checkSiteFromCommandLine(line.files.first(), stdout, stderr);
    }
    // The OpenGL context the preview's engine shares with Qt is made when
    // the pane is first shown (app/panes/previewdock.cpp), not here: asked for
    // here, it loaded the OpenGL driver (Mesa and LLVM, some 55 MB) at
    // every start.
    // The preview's view draws through the software scene graph: drawn
    // through OpenGL, it makes every flush of the main window compose the
    // whole window, and each typed key cost twice as much with it shown.
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom HTML"));
    // Ties the windows to the installed menu entry (its icon in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tagloom.TagloomHTML"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    // argv itself, not arguments(): Qt decodes a name that is not UTF-8 with
    // loss. QApplication has taken its own options out of argv by now.
    line = parseCommandLine(argc, argv);
    if (!line.error.isEmpty())
        return wrongArguments(line.error);
    helpFilePath(); // resolved once, at start
    StartupOptions options;
    for (const QByteArray &file : std::as_const(line.files))
        options.files << commandLinePath(pathFromNative(file));
    createApplicationWindows(options);
    ZediDove->show();
    return app.exec();
}
