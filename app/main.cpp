#include "mainwindow.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom HTML"));
    TZediDove::helpFilePath(); // resolved once, at start
    createApplicationWindows();
    ZediDove->show();
    return app.exec();
}
