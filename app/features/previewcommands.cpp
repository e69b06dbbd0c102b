#include "previewcommands.h"
#include "actions.h"
#include "browsercopy.h"
#include "currentdocument.h"
#include "editorbox.h"
#include "errors.h"
#include "htmldoc.h"
#include "keyboardreturn.h"
#include "nativepath.h"
#include "previewdock.h"
#include "uiseam.h"
#include "userstate.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QUrl>

namespace {
const char *const kPreviewKey = "view/preview";
} // namespace

PreviewCommands::PreviewCommands(ActionRegistry *actions, CurrentDocument *current,
                                 QMainWindow *window, QObject *parent)
    : QObject(parent), m_current(current), m_preview(new PreviewDock(window))
{
    window->addDockWidget(Qt::RightDockWidgetArea, m_preview);
    m_preview->setVisible(UserState::value(kPreviewKey, false).toBool());
    // A pane closed while it has the keyboard gives it to the document in use.
    new KeepKeyboardOnHide(m_preview);
    using namespace ActionId;
    // The pane's own toggle, so its mark follows the pane.
    ActionRow preview = itemRow(ViewMenu, "ViewPreview", QStringLiteral("&Preview"), [this] {
        UserState::setValue(kPreviewKey, m_preview->toggleViewAction()->isChecked());
    });
    preview.existing = m_preview->toggleViewAction();
    actions->add({preview.key(QKeySequence(Qt::Key_F6)),
                  itemRow(ViewMenu, "ViewPreviewInBrowser", QStringLiteral("Preview in &Browser"),
                          [this] { PreviewInBrowserClick(); })
                      .key(QKeySequence(Qt::Key_F12))
                      .needingDocument()},
                 this);
}

PreviewPane *PreviewCommands::preview() const { return m_preview->pane(); }

void PreviewCommands::follow(THTMLDOC *doc)
{
    const QString path = doc ? doc->filePath() : QString();
    m_preview->setEditor(doc ? doc->editor() : nullptr,
                         path.isEmpty() ? QString() : QFileInfo(path).absolutePath());
}

void PreviewCommands::PreviewInBrowserClick()
{
    THTMLDOC *doc = m_current->currentDocument();
    if (!doc)
        return;
    const QString path = doc->filePath();
    const QString folder = path.isEmpty() ? QDir::currentPath() : QFileInfo(path).absolutePath();
    const QString base = urlOfLocalPath(folder + QLatin1Char('/')).toString(QUrl::FullyEncoded);
    QString name = path.isEmpty() ? QStringLiteral("untitled") : QFileInfo(path).fileName();
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix != QLatin1String("htm") && suffix != QLatin1String("html"))
        name += QStringLiteral(".html"); // so the browser reads it as a page
    const QString copy =
        writeBrowserCopy(name, doc->encode(withBaseHref(doc->editor()->text(), base)));
    if (copy.isEmpty())
        throw TagloomError(Errors::cannotCreate(QDir::tempPath() + QLatin1Char('/') + name));
    if (!ui().openUrl(QUrl::fromLocalFile(copy)))
        reportError(QStringLiteral("No web browser could be started to show %1").arg(copy));
}
