#include "pagecheckpane.h"
#include "editorbox.h"
#include "pageadvice.h"
#include "pagecheckservice.h"
#include "userstate.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

PageCheckPane::PageCheckPane(QWidget *parent) : QDockWidget(QStringLiteral("Page Check"), parent)
{
    setObjectName(QStringLiteral("PageCheck"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *top = new QHBoxLayout;
    m_summary = new QLabel(body);
    m_summary->setObjectName(QStringLiteral("CheckSummary"));
    m_summary->setAccessibleName(QStringLiteral("Check summary"));
    m_summary->setFocusPolicy(Qt::TabFocus);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), body);
    m_cancel->setObjectName(QStringLiteral("CancelCheck"));
    m_cancel->setAutoDefault(false);
    m_cancel->setEnabled(false);
    connect(m_cancel, &QPushButton::clicked, this, &PageCheckPane::cancel);
    // Which accessibility advice the check gives, each kind kept switched
    // on or off across runs.
    for (const AdviceSwitch &a : adviceSwitches())
        if (UserState::value(a.key, true).toBool())
            m_advice |= unsigned(a.kind);
    m_adviceButton = new QPushButton(tr("Advice"), body);
    m_adviceButton->setObjectName(QStringLiteral("CheckAdvice"));
    m_adviceButton->setAutoDefault(false);
    auto *menu = new QMenu(m_adviceButton);
    for (const AdviceSwitch &a : adviceSwitches()) {
        QAction *item = menu->addAction(tr(a.caption));
        item->setCheckable(true);
        item->setChecked(m_advice & unsigned(a.kind));
        connect(item, &QAction::toggled, this, [this, a](bool on) {
            m_advice = on ? m_advice | unsigned(a.kind) : m_advice & ~unsigned(a.kind);
            UserState::setValue(a.key, on);
            if (m_service)
                m_service->setAdvice(m_advice);
        });
    }
    m_adviceButton->setMenu(menu);
    top->addWidget(m_summary, 1);
    top->addWidget(m_adviceButton);
    top->addWidget(m_cancel);
    layout->addLayout(top);
    m_standard = new QLabel(body);
    m_standard->setObjectName(QStringLiteral("CheckStandard"));
    m_standard->setAccessibleName(QStringLiteral("Standard checked against"));
    m_standard->setWordWrap(true);
    layout->addWidget(m_standard);
    m_rows = new QTreeWidget(body);
    m_rows->setObjectName(QStringLiteral("CheckRows"));
    m_rows->setAccessibleName(QStringLiteral("Check results"));
    m_rows->setRootIsDecorated(false);
    m_rows->setUniformRowHeights(true); // thousands of rows stay quick
    // A click picks a row and leaves the keyboard in the document; Tab from
    // the pane's button reaches the rows.
    m_rows->setFocusPolicy(Qt::TabFocus);
    m_rows->setHeaderLabels({QStringLiteral("Line"), QStringLiteral("Column"),
                             QStringLiteral("Kind"), QStringLiteral("Message")});
    m_rows->header()->setStretchLastSection(true);
    // Narrow number and kind columns leave the width to the message.
    const QFontMetrics metrics(m_rows->font());
    for (int column : {0, 1, 2})
        m_rows->header()->resizeSection(
            column, qMax(metrics.horizontalAdvance(m_rows->headerItem()->text(column)),
                         metrics.horizontalAdvance(column == 2 ? QStringLiteral("Warning")
                                                               : QStringLiteral("0000000")))
                        + 3 * metrics.averageCharWidth());
    layout->addWidget(m_rows);
    setWidget(body);
    // itemActivated: double-click, or Enter on the current row.
    m_pause.setSingleShot(true);
    m_pause.setInterval(300);
    connect(&m_pause, &QTimer::timeout, this, [this] {
        if (m_editor && qHash(m_editor->text()) != m_checkedHash)
            markOutOfDate();
    });
    connect(m_rows, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        if (m_editor && item->data(0, Qt::DisplayRole).isValid()) // not the "more" row
            emit placeChosen(m_editor, item->data(0, Qt::DisplayRole).toInt(),
                             item->data(1, Qt::DisplayRole).toInt(),
                             item->data(0, Qt::UserRole).toInt(),
                             item->data(1, Qt::UserRole).toInt());
    });
}

void PageCheckPane::check(EditorBox *editor)
{
    // A check still running is forgotten and left to end on its own:
    // waiting for it here would hold the editor for as long as the page
    // takes to parse.
    dropCheck();
    disconnect(m_changes);
    disconnect(m_editorGone);
    m_editor = editor;
    m_rows->clear();
    if (!editor) {
        m_summary->clear();
        m_cancel->setEnabled(false);
        return;
    }
    // A page closed while its check runs, or after, takes its result with it.
    m_editorGone = connect(editor, &QObject::destroyed, this, [this] {
        dropCheck();
        m_rows->clear();
        m_cancel->setEnabled(false);
        m_summary->setText(QStringLiteral("The checked document was closed"));
    });
    const QString text = editor->text();
    // The colouring reports its format changes as changes too: the text
    // itself is compared once typing pauses.
    m_checkedHash = qHash(text);
    m_changes = connect(editor->document(), &QTextDocument::contentsChanged, &m_pause,
                        qOverload<>(&QTimer::start));
    m_stale = false;
    m_summary->setText(QStringLiteral("Checking..."));
    m_cancel->setEnabled(true);
    m_checking = true;
    if (!m_service)
        setService(new PageCheckService(nullptr, this));
    m_ticket = m_service->check(text);
}

void PageCheckPane::setService(PageCheckService *service)
{
    if (m_service)
        m_service->disconnect(this);
    m_service = service;
    if (!service)
        return;
    service->setAdvice(m_advice);
    connect(service, &PageCheckService::finished, this,
            [this](quint64 ticket, const PageCheckResult &result) {
                if (ticket != m_ticket)
                    return; // replaced, cancelled, or its page closed
                m_ticket = 0;
                showResult(result);
            });
}

int PageCheckPane::threadsRunning() const { return m_service ? m_service->jobsRunning() : 0; }

QString PageCheckPane::standard() const { return m_standard->text(); }

void PageCheckPane::cancel()
{
    if (!m_ticket)
        return;
    dropCheck();
    PageCheckResult cancelled;
    cancelled.cancelled = true;
    showResult(cancelled);
}

void PageCheckPane::dropCheck()
{
    if (m_service && m_ticket)
        m_service->forget(m_ticket);
    m_ticket = 0;
    m_checking = false;
}

void PageCheckPane::showResult(const PageCheckResult &result)
{
    m_checking = false;
    m_cancel->setEnabled(false);
    if (result.cancelled) {
        m_summary->setText(QStringLiteral("Check cancelled"));
        emit finished();
        return;
    }
    // A hostile page can give hundreds of thousands of results: the first
    // rows are listed, the counts say how many there are.
    const qsizetype listed = qMin(result.messages.size(), qsizetype(kMaxRows));
    QList<QTreeWidgetItem *> items;
    items.reserve(listed + 1);
    for (qsizetype i = 0; i < listed; ++i) {
        const PageMessage &m = result.messages.at(i);
        auto *item = new QTreeWidgetItem;
        item->setData(0, Qt::DisplayRole, m.line);
        item->setData(1, Qt::DisplayRole, m.column);
        item->setData(0, Qt::UserRole, m.lastLine);
        item->setData(1, Qt::UserRole, m.lastColumn);
        item->setText(2, m.kind);
        item->setText(3, m.text);
        item->setToolTip(3, m.text); // a long message cut at the pane's edge
        items << item;
    }
    if (listed < result.messages.size()) {
        auto *more = new QTreeWidgetItem;
        more->setText(3, tr("... and %1 more, not listed").arg(result.messages.size() - listed));
        more->setFlags(Qt::ItemIsEnabled);
        items << more;
    }
    m_rows->addTopLevelItems(items);
    m_standard->setText(result.standard);
    m_lastSummary = result.summary();
    showSummary();
    emit finished();
}

void PageCheckPane::markOutOfDate()
{
    disconnect(m_changes);
    m_pause.stop();
    m_stale = true;
    if (!isChecking())
        showSummary();
}

void PageCheckPane::showSummary()
{
    const QString stale = QStringLiteral(" (out of date: the text has changed)");
    m_summary->setText(m_stale ? m_lastSummary + stale : m_lastSummary);
}

QString PageCheckPane::summary() const { return m_summary->text(); }
