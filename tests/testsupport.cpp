#include "testsupport.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "livecheck.h"
#include "mainwindow.h"
#include "nativepath.h"
#include "startup.h"
#include "toolbar.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <utility>
#include <unistd.h>

ScriptedUi::ScriptedUi() : m_previous(setUi(this)) {}
ScriptedUi::~ScriptedUi() { setUi(m_previous); }

bool ScriptedUi::confirm(const QString &text)
{
    confirms << text;
    if (whileAsking)
        whileAsking();
    return confirmAnswers.isEmpty() ? false : confirmAnswers.dequeue();
}

void ScriptedUi::errorBox(const QString &text, const QString &caption)
{
    errors << caption + QLatin1Char('|') + text;
    if (errorBoxOpenMs > 0) {
        QDialog box;
        box.setObjectName(QStringLiteral("ScriptedErrorBox"));
        QTimer::singleShot(errorBoxOpenMs, &box, [&box] { box.accept(); });
        box.exec();
    }
}

void ScriptedUi::warningBox(const QString &text)
{
    warnings << text;
    if (whileAsking)
        whileAsking();
}

QString ScriptedUi::openFileName(const FileDialogRequest &req)
{
    fileRequests << req;
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString ScriptedUi::saveFileName(const FileDialogRequest &req)
{
    return openFileName(req);
}

QString ScriptedUi::chooseFolder(const QString &caption, const QString &start)
{
    folderRequests << caption + QLatin1Char('|') + start;
    return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
}

bool ScriptedUi::chooseColor(QColor &colour)
{
    colourRequests << colour;
    if (colourAnswers.isEmpty())
        return false;
    const QColor c = colourAnswers.dequeue();
    if (!c.isValid())
        return false;
    colour = c;
    return true;
}

QString ScriptedUi::inputBox(const QString &caption, const QString &prompt,
                             const QString &defaultText)
{
    inputs << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + defaultText;
    return inputAnswers.isEmpty() ? defaultText : inputAnswers.dequeue();
}

void ScriptedUi::showHelp(const QString &helpFile) { helpShown << helpFile; }

bool ScriptedUi::openUrl(const QUrl &url)
{
    urlsOpened << url;
    return openUrlAnswer;
}

void isolateRecoveryFolder()
{
    // Recovery copies go to a test location of this test executable, never
    // to the user's own, and tests running in parallel never see each
    // other's copies.
    QStandardPaths::setTestModeEnabled(true);
    if (QCoreApplication::organizationName().isEmpty())
        QCoreApplication::setOrganizationName(
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

// Every test program links this file's object, so the standard paths are in
// test mode from the moment its application object exists, whichever test
// helper it calls first (or none).
Q_COREAPP_STARTUP_FUNCTION(isolateRecoveryFolder)

// The preview's engine needs this before the application object exists,
// which QTEST_MAIN makes before any test code runs: set while loading.
static const bool g_sharedContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

// Checking as you type waits this long for a pause in the windows of tests:
// their typing starts no conformance checker (a JVM) behind their back.
constexpr int kNoPause = 24 * 3600 * 1000;

void startApplication()
{
    LiveCheck::setPauseMs(kNoPause);
    StartupOptions o;
    o.startupMs = 10;
    o.splashMs = 60;
    createApplicationWindows(o);
    ZediDove->show();
    QTRY_VERIFY_WITH_TIMEOUT(ZediDove->currentDocument() != nullptr, 5000);
}

void startApplication(const QStringList &files)
{
    LiveCheck::setPauseMs(kNoPause);
    StartupOptions o;
    o.startupMs = 10;
    o.splashMs = 60;
    o.files = files;
    createApplicationWindows(o);
    ZediDove->show();
    // Drops are taken once the start-up sequence has run to its end.
    QTRY_VERIFY_WITH_TIMEOUT(ZediDove->acceptDrops(), 5000);
}

void stopApplication() { destroyApplicationWindows(); }

EditorBox *editor()
{
    EditorBox *ed = ActiveEditor();
    if (!ed)
        qFatal("no current document");
    return ed;
}

QString withCaret(EditorBox *ed)
{
    QString t = ed->toPlainText();
    t.insert(ed->textCursor().position(), QLatin1Char('|'));
    return t;
}

void setEditorText(const QString &crlfText, int selStart, int selLength)
{
    EditorBox *ed = editor();
    ed->loadText(crlfText);
    ed->setSelStart(selStart + selLength);
    if (selLength) {
        // Select backwards from the end so selStart is the anchor's other side.
        QTextCursor c = ed->textCursor();
        ed->setSelStart(selStart);
        const int anchor = ed->textCursor().position();
        ed->setSelStart(selStart + selLength);
        c.setPosition(anchor);
        c.setPosition(ed->textCursor().position(), QTextCursor::KeepAnchor);
        ed->setTextCursor(c);
    }
}

void onNextModal(std::function<void(QWidget *)> fill)
{
    // Waits until the dialog is also the active window, so that focus and
    // keys reach it even on a loaded machine; gives up waiting after a
    // second and runs `fill` anyway.
    auto *timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("onNextModal"));
    timer->setInterval(10);
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, fill, waited] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w)
            return;
        if (QApplication::activeWindow() != w && ++*waited < 100) {
            w->activateWindow();
            return;
        }
        timer->stop();
        timer->deleteLater();
        fill(w);
    });
    timer->start();
}

void onDialogNamed(const char *name, std::function<void(QWidget *)> fill)
{
    auto *timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("onNextModal")); // cleared as onNextModal()'s are
    const QString wanted = QLatin1String(name);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, fill, wanted] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == wanted && w->isVisible()) {
                timer->stop();
                timer->deleteLater();
                fill(w);
                return;
            }
        }
    });
    timer->start(10);
}

QByteArray readBytes(const QString &path) { return readNative(nativePath(path)); }

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    return writeNative(nativePath(path), bytes);
}

QByteArray readNative(const QByteArray &name)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<missing>";
    QByteArray out;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, n);
    ::close(fd);
    return n < 0 ? QByteArray("<missing>") : out;
}

bool writeNative(const QByteArray &name, const QByteArray &bytes)
{
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

QList<QByteArray> namesInFolder(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *d = ::opendir(folder.constData())) {
        while (const dirent *e = ::readdir(d))
            if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void click(QWidget *dialog, const char *button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

int openDocuments() { return int(ZediDove->mdiArea()->subWindowList().size()); }

void markAllUnchanged()
{
    if (!ZediDove)
        return;
    for (QMdiSubWindow *w : ZediDove->mdiArea()->subWindowList())
        static_cast<THTMLDOC *>(w)->page()->setModified(false);
}

bool closeDialogsLeftOpen()
{
    // A handler still waiting belongs to the test that set it: it must not
    // answer a box of the next one.
    for (QTimer *t : qApp->findChildren<QTimer *>(QStringLiteral("onNextModal"),
                                                  Qt::FindDirectChildrenOnly))
        delete t;
    bool none = true;
    for (int i = 0; i < 10; ++i) { // a dialog may have opened another
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d)
            break;
        none = false;
        d->done(QDialog::Rejected);
    }
    return none;
}

bool runsWithoutWindows(std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (qstrcmp(QTest::currentTestFunction(), name) == 0)
            return true;
    return false;
}

ScriptedUi *startWithScriptedUi()
{
    auto *ui = new ScriptedUi;
    startApplication();
    return ui;
}

bool stopWithScriptedUi(ScriptedUi *&ui)
{
    const bool noDialogLeft = closeDialogsLeftOpen();
    stopApplication();
    delete std::exchange(ui, nullptr);
    return noDialogLeft;
}
