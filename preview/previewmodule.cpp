// The entry points the editor's core finds in this module once it loads it
// (app/panes/previewdock.cpp); plain C names, so that it finds them by dlsym.
#include "editorbox.h"
#include "previewpane.h"

extern "C" {

Q_DECL_EXPORT QWidget *tagloomPreviewCreate(QWidget *parent)
{
    auto *pane = new PreviewPane(parent);
    // Shown inside the dock that loaded it: that dock has the title bar.
    pane->setTitleBarWidget(new QWidget(pane));
    pane->setFeatures(QDockWidget::NoDockWidgetFeatures);
    return pane;
}

Q_DECL_EXPORT PreviewPane *tagloomPreviewPaneOf(QWidget *pane)
{
    return static_cast<PreviewPane *>(pane);
}

Q_DECL_EXPORT void tagloomPreviewSetEditor(QWidget *pane, EditorBox *editor, const QString &folder)
{
    static_cast<PreviewPane *>(pane)->setEditor(editor, folder);
}
}
