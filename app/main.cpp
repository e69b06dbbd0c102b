#include "mainwindow.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom HTML"));
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
