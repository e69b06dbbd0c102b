#include "pagecheckpane.h"
#include "editorbox.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

PageCheckPane::PageCheckPane(QWidget *parent)
    : QDockWidget(QStringLiteral("Page Check"), parent), m_jobs(new BackgroundJobs(this))
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
    top->addWidget(m_summary, 1);
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
        if (m_editor)
            emit placeChosen(m_editor, item->data(0, Qt::DisplayRole).toInt(),
                             item->data(1, Qt::DisplayRole).toInt());
    });
}

void PageCheckPane::check(EditorBox *editor)
{
    // A check still running is told to stop and left to end on its own:
    // waiting for it here would hold the editor for as long as the page
    // takes to parse. Its result is passed over.
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
    const QString older = declaredOlderDoctype(text);
    if (m_nu && older.isEmpty() && !m_noJava) {
        m_nuText = text;
        m_nuWaited = true;
        m_nu->check(text.toUtf8());
        return;
    }
    if (!older.isEmpty())
        m_standard->setText(tr("Checked by HTML Tidy against %1, as the page declares").arg(older));
    else if (m_noJava)
        m_standard->setText(tr("Checked by HTML Tidy (no Java runtime)"));
    else
        m_standard->setText(tr("Checked by HTML Tidy"));
    checkWithTidy(text);
}

void PageCheckPane::checkWithTidy(const QString &text)
{
    m_job = m_jobs->run([text](JobControl &c) { return checkPage(text, c.cancelFlag()); },
                        [this](const PageCheckResult &result) {
                            m_job.reset();
                            showResult(result);
                        });
}

void PageCheckPane::setConformanceChecker(NuChecker *checker)
{
    if (m_nu)
        m_nu->disconnect(this);
    m_nu = checker;
    if (!checker)
        return;
    connect(checker, &NuChecker::finished, this, &PageCheckPane::showConformance);
    connect(checker, &NuChecker::restarted, this,
            [this](const QString &why) { m_nuRestarted = why; });
}

QString PageCheckPane::standard() const { return m_standard->text(); }

void PageCheckPane::showConformance(const NuCheckResult &result)
{
    if (!m_nuWaited)
        return; // replaced, cancelled, or its page closed
    m_nuWaited = false;
    const QString text = std::exchange(m_nuText, QString());
    QString standard = tr("Checked against the HTML living standard");
    if (!m_nuRestarted.isEmpty())
        standard +=
            QStringLiteral(" (") + std::exchange(m_nuRestarted, QString()) + QLatin1Char(')');
    if (result.outcome != NuCheckResult::Checked) {
        // Without Java this is said once; later checks go to Tidy directly.
        m_noJava = result.outcome != NuCheckResult::Failed;
        m_standard->setText(result.detail + QLatin1Char(' ') + tr("Checked by HTML Tidy instead."));
        checkWithTidy(text);
        return;
    }
    m_standard->setText(standard);
    PageCheckResult shown;
    for (const NuMessage &m : result.messages) {
        // The checker gets the editor's text as UTF-8 whatever the file's
        // charset, so what it says of the declaration against that is moot.
        if (m.text.contains(QLatin1String("disagrees with the actual encoding")))
            continue;
        PageMessage row{m.line, m.column, QString(), m.text};
        if (m.severity == NuMessage::Error) {
            row.kind = QStringLiteral("Error");
            ++shown.errors;
        } else if (m.severity == NuMessage::Warning) {
            row.kind = QStringLiteral("Warning");
            ++shown.warnings;
        } else {
            row.kind = QStringLiteral("Info");
        }
        shown.messages.append(row);
    }
    showResult(shown);
}

void PageCheckPane::cancel()
{
    if (m_job)
        m_job->cancel(); // its result says so
    if (m_nuWaited) {
        // The checker finishes the page on its own; its result is passed over.
        m_nuWaited = false;
        m_nuText.clear();
        PageCheckResult cancelled;
        cancelled.cancelled = true;
        showResult(cancelled);
    }
}

void PageCheckPane::dropCheck()
{
    m_jobs->drop(m_job);
    m_job.reset();
    m_nuWaited = false;
    m_nuText.clear();
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
    QList<QTreeWidgetItem *> items;
    items.reserve(result.messages.size());
    for (const PageMessage &m : result.messages) {
        auto *item = new QTreeWidgetItem;
        item->setData(0, Qt::DisplayRole, m.line);
        item->setData(1, Qt::DisplayRole, m.column);
        item->setText(2, m.kind);
        item->setText(3, m.text);
        items << item;
    }
    m_rows->addTopLevelItems(items);
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
