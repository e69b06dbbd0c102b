#include "encodingmenus.h"
#include "actions.h"
#include "charsetsniff.h"
#include "currentdocument.h"
#include "editorbox.h"
#include "htmldoc.h"

#include <QMenu>
#include <QStatusBar>
#include <QTextBlock>

EncodingMenus::EncodingMenus(ActionRegistry *actions, CurrentDocument *current, QStatusBar *status,
                             QObject *parent)
    : QObject(parent), m_current(current), m_status(status)
{
    using namespace ActionId;
    actions->add({separatorRow(FileMenu),
                  menuRow(FileMenu, "FileReopenEncoding", QStringLiteral("Reopen with &Encoding")),
                  menuRow(FileMenu, "FileSaveEncoding", QStringLiteral("Save &with Encoding"))},
                 this);
    QMenu *reopen = actions->menu(QStringLiteral("FileReopenEncoding"));
    QMenu *save = actions->menu(QStringLiteral("FileSaveEncoding"));
    connect(reopen, &QMenu::aboutToShow, this, [this, reopen] { rebuild(reopen, true); });
    connect(save, &QMenu::aboutToShow, this, [this, save] { rebuild(save, false); });
}

void EncodingMenus::rebuild(QMenu *menu, bool reopen)
{
    menu->clear();
    THTMLDOC *doc = m_current->currentDocument();
    // Reading again needs a file; the BOM variants are the same bytes but
    // for it, which a file read so already tells.
    const bool enabled = doc && (!reopen || doc->HasFileName());
    for (const EncodingGroup &g : encodingGroups()) {
        QMenu *sub = menu->addMenu(g.script);
        sub->setObjectName(menu->objectName() + QLatin1Char('_') + g.script);
        for (const TextEncoding e : g.encodings) {
            QAction *a = sub->addAction(encodingName(e));
            a->setCheckable(true);
            a->setChecked(doc && doc->encoding() == e);
            a->setEnabled(enabled);
            if (reopen)
                connect(a, &QAction::triggered, this, [this, e] {
                    if (THTMLDOC *d = m_current->currentDocument())
                        d->reopenAs(e);
                });
            else
                connect(a, &QAction::triggered, this, [this, e] { saveWithEncoding(e); });
        }
    }
}

void EncodingMenus::saveWithEncoding(TextEncoding encoding)
{
    THTMLDOC *doc = m_current->currentDocument();
    if (!doc || !doc->saveWithEncoding(encoding))
        return;
    // The page's own declaration is the user's to change.
    QString head;
    for (QTextBlock b = doc->editor()->document()->begin(); b.isValid() && head.size() < 1024;
         b = b.next())
        head += b.text() + QStringLiteral("\r\n");
    const std::optional<TextEncoding> declared = declaredEncoding(doc->encode(head));
    QString told = QStringLiteral("Saved in %1.").arg(encodingName(encoding));
    if (declared && *declared != encoding)
        told += QStringLiteral(" The page still declares %1: change its meta charset to match.")
                    .arg(encodingName(*declared));
    m_status->showMessage(told, 10000);
}
