#pragma once
// The preview pane and View > Preview (whether it shows is kept in the
// user's state), and View > Preview in Browser.
#include <QObject>

class ActionRegistry;
class CurrentDocument;
class PreviewDock;
class PreviewPane;
class QMainWindow;
class THTMLDOC;

class PreviewCommands : public QObject {
    Q_OBJECT
public:
    PreviewCommands(ActionRegistry *actions, CurrentDocument *current, QMainWindow *window,
                    QObject *parent);
    PreviewDock *previewDock() const { return m_preview; }
    // The preview's pane, its module loaded if need be (tests, benchmark).
    PreviewPane *preview() const;
    void follow(THTMLDOC *doc);

private:
    void PreviewInBrowserClick();

    CurrentDocument *m_current;
    PreviewDock *m_preview;
};
