#pragma once
// The preview pane's web page and the script that keeps WebRTC out of it.

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <functional>

// The pane's page: it goes only where the pane sends it. Links the user
// follows go to the system's browser; scripts cannot navigate it away.
class PreviewPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    QUrl expected;
    // Loads of `expected` let through: the pane's own, and one refresh of
    // the page by itself (a meta refresh of 0 seconds would go on forever).
    int ownLoads = 0;
    std::function<void(const QUrl &, bool again)> refusedMove;
    std::function<void(const QUrl &)> openOutside;
    std::function<bool()> userActed; // a click or key in the page just now
    std::function<void()> webRtcTried;

    // First in the page and in each of its frames: WebRTC turned away, and
    // each attempt told to webRtcTried.
    static QWebEngineScript noWebRtcScript();

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                  const QString &) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType) override;

private:
    bool m_catcher = false;
};
