#include "previewpane.h"
#include "editorbox.h"
#include "uiseam.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
// Resources come from local files only: a page's remote images and style
// sheets are left out rather than fetched.
class LocalBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl &name) override
    {
        const QUrl url = document()->baseUrl().resolved(name);
        if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isFile())
            return {};
        return QTextBrowser::loadResource(type, url);
    }
};
} // namespace

PreviewPane::PreviewPane(QWidget *parent) : QDockWidget(QStringLiteral("Preview"), parent)
{
    setObjectName(QStringLiteral("Preview"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    m_refresh = new QPushButton(QStringLiteral("Refresh"), body);
    m_refresh->setObjectName(QStringLiteral("RefreshPreview"));
    m_refresh->setAutoDefault(false);
    m_refresh->setToolTip(QStringLiteral("Show the page as it stands now (F6 twice)"));
    connect(m_refresh, &QPushButton::clicked, this, &PreviewPane::refresh);
    m_browser = new LocalBrowser(body);
    m_browser->setObjectName(QStringLiteral("PreviewBrowser"));
    m_browser->setAccessibleName(QStringLiteral("Preview of the page"));
    m_browser->setOpenLinks(false);
    m_browser->setFocusPolicy(Qt::TabFocus); // a click leaves the keyboard in the document
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        if (link.isRelative() && link.path().isEmpty() && link.hasFragment()) {
            m_browser->scrollToAnchor(link.fragment()); // a target on the same page
            return;
        }
        ui().openUrl(m_browser->document()->baseUrl().resolved(link));
    });
    layout->addWidget(m_refresh);
    layout->addWidget(m_browser);
    setWidget(body);
    m_pause.setSingleShot(true);
    m_pause.setInterval(300); // after typing pauses
    connect(&m_pause, &QTimer::timeout, this, &PreviewPane::refresh);
    // Hidden, it does no work; shown again (F6 twice on a large page), it
    // catches up.
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            refresh();
    });
}

void PreviewPane::setEditor(EditorBox *editor, const QString &folder)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_pause.stop();
    m_editor = editor;
    m_caretBlock = -1;
    const QString dir = folder.isEmpty() ? QDir::currentPath() : folder;
    m_browser->document()->setBaseUrl(QUrl::fromLocalFile(QDir(dir).absolutePath() + '/'));
    if (editor) {
        m_connections << connect(editor->document(), &QTextDocument::contentsChanged, this,
                                 &PreviewPane::textChanged)
                      << connect(editor, &QPlainTextEdit::cursorPositionChanged, this,
                                 &PreviewPane::followCaret);
    }
    if (!editor || (isVisible() && refreshesAsYouType()))
        refresh();
    else
        m_browser->clear();
}

bool PreviewPane::refreshesAsYouType() const
{
    return m_editor && m_editor->document()->characterCount() <= kAutoRefreshLimit;
}

void PreviewPane::textChanged()
{
    if (isVisible() && refreshesAsYouType())
        m_pause.start();
}

void PreviewPane::refresh()
{
    m_pause.stop();
    if (!m_editor) {
        m_browser->clear();
        return;
    }
    QScrollBar *bar = m_browser->verticalScrollBar();
    const int at = bar->value();
    m_browser->setHtml(m_editor->text());
    bar->setValue(at);
}

// Roughly where the caret is in the source, as a share of the page.
void PreviewPane::followCaret()
{
    if (!m_editor)
        return;
    const int block = m_editor->textCursor().blockNumber();
    if (block == m_caretBlock)
        return;
    m_caretBlock = block;
    const int lines = qMax(1, m_editor->document()->blockCount() - 1);
    QScrollBar *bar = m_browser->verticalScrollBar();
    bar->setValue(int(qint64(bar->maximum()) * block / lines));
}
