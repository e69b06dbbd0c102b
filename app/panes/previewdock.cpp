#include "previewdock.h"
#include "editorbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QOpenGLContext>
#include <QScopedValueRollback>

#include <dlfcn.h>

QT_BEGIN_NAMESPACE
// Qt's own setter of the context QOpenGLContext::globalShareContext() gives.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);
QT_END_NAMESPACE

namespace {
// The engine shares its OpenGL contexts with Qt's and takes the global one
// for granted: made here, as Qt makes it at start for a program that asks
// for shared contexts, but only when the preview first needs it.
void shareOpenGLContexts()
{
    if (QOpenGLContext::globalShareContext())
        return;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto *context = new QOpenGLContext(qApp);
    context->setFormat(QSurfaceFormat::defaultFormat());
    context->create();
    qt_gl_set_global_share_context(context);
    QObject::connect(context, &QObject::destroyed, [] { qt_gl_set_global_share_context(nullptr); });
}

// What preview/previewmodule.cpp gives.
struct Module {
    QWidget *(*create)(QWidget *parent) = nullptr;
    PreviewPane *(*paneOf)(QWidget *pane) = nullptr;
    void (*setEditor)(QWidget *pane, EditorBox *editor, const QString &folder) = nullptr;
    QString problem; // why it could not be loaded
};

Module &module()
{
    static Module m = [] {
        Module m;
        // Linked in already (the benchmark), or next to the program or one
        // folder up (build tree: the editor, the tests), or in its lib
        // folder (installed).
        shareOpenGLContexts();
        void *handle = dlopen(nullptr, RTLD_NOW);
        if (!handle || !dlsym(handle, "tagloomPreviewCreate")) {
            const QString here = QCoreApplication::applicationDirPath();
            for (const QString &dir : {here, here + QStringLiteral("/.."),
                                       here + QStringLiteral("/../lib/tagloom-html")}) {
                const QString path =
                    QDir::cleanPath(dir + QStringLiteral("/libtagloom-preview.so"));
                handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
                if (handle)
                    break;
                m.problem = QString::fromLocal8Bit(dlerror());
            }
        }
        if (!handle)
            return m;
        m.create = reinterpret_cast<decltype(m.create)>(dlsym(handle, "tagloomPreviewCreate"));
        m.paneOf = reinterpret_cast<decltype(m.paneOf)>(dlsym(handle, "tagloomPreviewPaneOf"));
        m.setEditor =
            reinterpret_cast<decltype(m.setEditor)>(dlsym(handle, "tagloomPreviewSetEditor"));
        if (!m.create || !m.paneOf || !m.setEditor) {
            m.create = nullptr;
            m.problem = QStringLiteral("the preview module is not this program's");
        }
        return m;
    }();
    return m;
}
} // namespace

PreviewDock::PreviewDock(QWidget *parent) : QDockWidget(QStringLiteral("Preview"), parent)
{
    // The name the dock had when the pane was the dock itself.
    setObjectName(QStringLiteral("Preview"));
    connect(this, &QDockWidget::visibilityChanged, this, &PreviewDock::visibility);
}

void PreviewDock::setEditor(EditorBox *editor, const QString &folder)
{
    m_editor = editor;
    m_folder = folder;
    if (m_pane)
        module().setEditor(m_pane, editor, folder);
}

PreviewPane *PreviewDock::pane()
{
    if (!m_pane && !m_missing) {
        const Module &m = module();
        if (!m.create) {
            m_missing = new QLabel(
                QStringLiteral("The preview cannot start: %1").arg(m.problem.toHtmlEscaped()), this);
            m_missing->setWordWrap(true);
            setWidget(m_missing);
            return nullptr;
        }
        // The pane is a dock of its own, kept as this dock's content: it is
        // shown and hidden with this one, and its own show or close (tests,
        // its hidden title bar's button) shows or closes this one.
        m_pane = m.create(this);
        m_pane->setVisible(false);
        m_pane->installEventFilter(this);
        setWidget(m_pane);
        m.setEditor(m_pane, m_editor, m_folder);
        if (isVisible()) {
            QScopedValueRollback<bool> guard(m_forwarding, true);
            m_pane->setVisible(true);
        }
    }
    return m_pane ? module().paneOf(m_pane) : nullptr;
}

void PreviewDock::visibility(bool visible)
{
    if (visible)
        pane();
    if (!m_pane)
        return;
    QScopedValueRollback<bool> guard(m_forwarding, true);
    m_pane->setVisible(visible);
}

bool PreviewDock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pane && !m_forwarding) {
        if (event->type() == QEvent::ShowToParent && isHidden())
            show();
        else if (event->type() == QEvent::HideToParent && !isHidden())
            hide();
    }
    return QDockWidget::eventFilter(watched, event);
}
