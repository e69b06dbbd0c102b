#include "mainwindow.h"
#include "startup.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    // The preview's engine shares its OpenGL contexts with Qt's; this has to
    // be said before the application object exists (the engine itself only
    // starts when the preview is first shown).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom HTML"));
    // Ties the windows to the installed menu entry (its icon in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tagloom.TagloomHTML"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    TZediDove::helpFilePath(); // resolved once, at start
    StartupOptions options;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i)
        if (!args[i].isEmpty())
            options.files << commandLinePath(args[i]);
    createApplicationWindows(options);
    ZediDove->show();
    return app.exec();
}
