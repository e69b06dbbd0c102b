#pragma once
// The "Preview" pane: the current document's text shown as a page by Qt's
// rich-text browser. It only reads the text; links open in the system's
// browser and nothing is ever loaded from the network.
#include <QDockWidget>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class EditorBox;
class QPushButton;
class QTextBrowser;

class PreviewPane : public QDockWidget {
    Q_OBJECT
public:
    explicit PreviewPane(QWidget *parent = nullptr);

    // Follows this editor; relative paths resolve against `folder`.
    void setEditor(EditorBox *editor, const QString &folder);
    // Shows the text as it stands now.
    void refresh();
    // Pages over this many characters refresh only on demand.
    static constexpr int kAutoRefreshLimit = 2 * 1024 * 1024;
    bool refreshesAsYouType() const;

    QTextBrowser *browser() const { return m_browser; }

private:
    void textChanged();
    void followCaret();

    QPointer<EditorBox> m_editor;
    QList<QMetaObject::Connection> m_connections;
    QTextBrowser *m_browser;
    QPushButton *m_refresh;
    QTimer m_pause;
    int m_caretBlock = -1;
};
