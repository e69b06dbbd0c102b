#include "previewpage.h"

#include <QWebEngineProfile>

namespace {
// WebRTC reaches any address and port a script names, over UDP, where the
// guard (which sees addresses it is asked for) never looks. The engine is
// told to send no UDP of its own; this script, first in the page and in each
// frame it loads, turns the constructor away and tells the pane, which
// counts it as blocked. A new empty frame (and a window opened with no
// address) runs no script of ours, so its window is seen to by the window
// that made it: on the frame's load, which comes before the code that
// inserted it goes on, and whenever it is reached through its element or
// window.open().
const char kWebRtcTried[] = "tagloom-preview: WebRTC blocked";
const char kNoWebRtc[] = R"JS((() => {
  const tell = console.info.bind(console);
  const seen = new WeakSet();
  const guard = w => {
    try {
      if (!w || seen.has(w))
        return;
      seen.add(w);
      for (const name of ['RTCPeerConnection', 'webkitRTCPeerConnection']) {
        const own = Object.getOwnPropertyDescriptor(w, name);
        if (!own || !own.configurable)
          continue;
        Object.defineProperty(w, name, { configurable: false, writable: false,
          value: function () {
            tell('%1');
            throw new DOMException('WebRTC is off in the preview', 'NotAllowedError');
          } });
      }
      for (const kind of ['HTMLIFrameElement', 'HTMLFrameElement', 'HTMLObjectElement']) {
        const proto = w[kind] && w[kind].prototype;
        const own = proto && Object.getOwnPropertyDescriptor(proto, 'contentWindow');
        if (!own || !own.get || !own.configurable)
          continue;
        Object.defineProperty(proto, 'contentWindow', { configurable: false,
          get() { const child = own.get.call(this); guard(child); return child; } });
      }
      const open = w.open;
      Object.defineProperty(w, 'open', { configurable: false, writable: false,
        value: function (...args) { const child = open.apply(this, args); guard(child); return child; } });
      // On the document: a load event never goes up to the window.
      w.document.addEventListener('load', e => {
        if (e.target && 'contentWindow' in e.target)
          e.target.contentWindow;
      }, true);
    } catch (e) { /* another origin's window: it is not ours to change */ }
  };
  guard(window);
})();)JS";
} // namespace

QWebEngineScript PreviewPage::noWebRtcScript()
{
    QWebEngineScript s;
    s.setName(QStringLiteral("no-webrtc"));
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setWorldId(QWebEngineScript::MainWorld);
    s.setRunsOnSubFrames(true);
    s.setSourceCode(QString::fromLatin1(kNoWebRtc).arg(QLatin1String(kWebRtcTried)));
    return s;
}

void PreviewPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message,
                                           int, const QString &)
{
    if (message == QLatin1String(kWebRtcTried) && webRtcTried)
        webRtcTried();
}

bool PreviewPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (m_catcher) {
        // A window opened for a link with a target: its address goes to
        // the browser and the window goes.
        if (userActed())
            openOutside(url);
        deleteLater();
        return false;
    }
    if (!isMainFrame)
        return true; // frames are held to local files by the guard
    const auto sameDocument = [&](const QUrl &a) {
        return a.adjusted(QUrl::RemoveFragment) == expected.adjusted(QUrl::RemoveFragment);
    };
    if (type == NavigationTypeLinkClicked) {
        if (sameDocument(url))
            return true; // a target on the same page
        // The engine calls a script's "location = ..." a link too: only
        // what follows the user's own click or key leaves for the browser.
        if (userActed())
            openOutside(url);
        return false;
    }
    if (url == expected && ownLoads > 0) {
        --ownLoads;
        return true;
    }
    if (refusedMove)
        refusedMove(url, url == expected);
    return false;
}

QWebEnginePage *PreviewPage::createWindow(WebWindowType)
{
    auto *catcher = new PreviewPage(profile(), this);
    catcher->openOutside = openOutside;
    catcher->userActed = userActed;
    catcher->m_catcher = true;
    return catcher;
}
