#pragma once
// The "Preview" dock of the main window. The pane inside it, and Qt
// WebEngine with it, live in a module of their own (preview/) loaded the
// first time the dock is shown: linked into the program, the engine's
// libraries were mapped and relocated at every start, and loading them made
// Qt set up a shared OpenGL context (Mesa and LLVM), about 85 MB of memory
// before any page needed them.
#include <QDockWidget>
#include <QPointer>
#include <QString>

class EditorBox;
class PreviewPane;
class QLabel;

class PreviewDock : public QDockWidget {
    Q_OBJECT
public:
    explicit PreviewDock(QWidget *parent = nullptr);

    // Follows this editor (handed on to the pane once it exists).
    void setEditor(EditorBox *editor, const QString &folder);
    // The pane, loading the module for it if need be; null when the module
    // cannot be loaded (the dock says why).
    PreviewPane *pane();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void visibility(bool visible);

    QWidget *m_pane = nullptr; // the PreviewPane, as a plain widget
    QLabel *m_missing = nullptr;
    QPointer<EditorBox> m_editor;
    QString m_folder;
    bool m_forwarding = false;
};
