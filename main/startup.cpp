#include "startup.h"
#include "actions.h"
#include "docinfo.h"
#include "hrinfo.h"
#include "imageinfo.h"
#include "introscreen.h"
#include "linkinf.h"
#include "listboxes.h"
#include "mainwindow.h"
#include "nativepath.h"
#include "recovery.h"
#include "sitefolder.h"
#include "tablebuilder.h"
#include "tagcommands.h"
#include "toolbar.h"
#include "uiseam.h"
#include "workbench.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString commandLinePath(const QString &argument)
{
    QString path = argument;
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        // Bytes written into the URL unescaped are escaped first, so that
        // those that are not UTF-8 reach the path as they are.
        QByteArray encoded;
        for (const char c : nativePath(argument)) {
            if (uchar(c) >= 0x80 || uchar(c) <= 0x20)
                encoded += '%' + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            else
                encoded += c;
        }
        const QUrl url(QString::fromLatin1(encoded));
        if (url.isLocalFile())
            path = localPathOfUrl(url);
    }
    if (path.isEmpty())
        return path;
    // The caption is the file's full path, as the Open dialog gives it. The
    // working folder is read as bytes: QDir::currentPath() loses those of a
    // folder name that is not UTF-8.
    if (QDir::isRelativePath(path))
        path = currentFolderPath() + QLatin1Char('/') + path;
    return QDir::cleanPath(path);
}

void createApplicationWindows(const StartupOptions &options)
{
    QApplication::setApplicationName(QStringLiteral("Tagloom HTML"));
    // The main window places the tag commands' rows among its own.
    addTagCommands();
    ZediDove = new TZediDove(options.startupMs);
    ZediDove->recovery()->setInterval(options.recoveryMs);
    // A folder named opens as the site folder (the last one, when several
    // are); the files are opened by the start-up sequence.
    QStringList files;
    QString folder;
    for (const QString &path : options.files) {
        if (QFileInfo(path).isDir())
            folder = path;
        else
            files << path;
    }
    ZediDove->setStartupFiles(files);
    if (!folder.isEmpty())
        ZediDove->workbench()->siteFolder()->setPath(folder);
    setHelpOwner(ZediDove);
    IntroScreen = new TIntroScreen(options.splashMs, ZediDove);
    QObject::connect(IntroScreen, &TIntroScreen::timeUp, ZediDove, &TZediDove::showAfterSplash);
    ImageInfo = new TImageInfo(ZediDove);
    DocInfo = new TDocInfo(ZediDove);
    ListBoxes = new TListBoxes(ZediDove);
    HRInfo = new THRInfo(ZediDove);
    AboutHTML = new TAboutHTML(ZediDove);
    LinkInf = new TLinkInf(ZediDove);
    ToolBar = new TToolBar(QPoint(ZediDove->ToolbarLeft, ZediDove->ToolbarTop), ZediDove->actions(),
                           ZediDove);
    ToolBar->setVisibilityToggle(ZediDove->action(QLatin1String(ActionId::HtmlTools)));
    ZediDove->setToolPalette(ToolBar);
    Table = new TTable(ZediDove);
}

void destroyApplicationWindows()
{
    delete ZediDove; // owns every other window
    ZediDove = nullptr;
    IntroScreen = nullptr;
    ImageInfo = nullptr;
    DocInfo = nullptr;
    ListBoxes = nullptr;
    HRInfo = nullptr;
    AboutHTML = nullptr;
    LinkInf = nullptr;
    ToolBar = nullptr;
    Table = nullptr;
}
