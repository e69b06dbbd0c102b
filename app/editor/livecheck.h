#pragma once
// Checking as you type, for one editor: a moment after typing pauses the
// page goes to the shared page check in the background, and its result is
// underlined in the editor (pagemarks.h). Typing never waits for it: the
// text is handed over as Qt holds it, and nothing here waits for the
// check. Only the user's edits start it, never opening a page, so the
// conformance checker starts when a check is first asked for. Pages over
// kMaxChars, and a page while it loads, are not checked.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class EditorBox;
class PageCheckService;
struct PageCheckResult;

class LiveCheck : public QObject {
    Q_OBJECT
public:
    // Lives as long as the editor, as its child.
    LiveCheck(EditorBox *editor, PageCheckService *service);
    ~LiveCheck() override;

    static constexpr int kPauseMs = 1000;
    // The pause of the editors made from now on. Tests of the windows make
    // it long, so that their typing starts no conformance checker.
    static void setPauseMs(int ms);
    // The conformance checker takes pages up to 64 MiB of UTF-8, which
    // this many characters never exceed.
    static constexpr int kMaxChars = (64 << 20) / 3;

    // Off: marks cleared, nothing checked.
    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }
    // Checks the page at once (as a pause would).
    void checkNow();
    // A check was handed over and its result has not come.
    bool isChecking() const { return m_ticket != 0; }

private:
    void changed();
    void finished(quint64 ticket, const PageCheckResult &result);
    void drop();

    EditorBox *m_editor;
    QPointer<PageCheckService> m_service;
    QTimer m_pause;
    bool m_enabled = true;
    quint64 m_ticket = 0; // the check handed over, if any
    QString m_checked;    // its text, lines broken by '\n'
    bool m_again = false; // typing paused again while it ran
};
