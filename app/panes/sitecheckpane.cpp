#include "sitecheckpane.h"
#include "linkprobe.h"
#include "uiseam.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

SiteCheckPane::SiteCheckPane(QWidget *parent)
    : QDockWidget(QStringLiteral("Site Check"), parent), m_probe(new LinkProbe(this))
{
    setObjectName(QStringLiteral("SiteCheck"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *top = new QHBoxLayout;
    m_summary = new QLabel(body);
    m_summary->setObjectName(QStringLiteral("SiteCheckSummary"));
    m_summary->setAccessibleName(QStringLiteral("Site check summary"));
    m_summary->setFocusPolicy(Qt::TabFocus);
    m_summary->setWordWrap(true);
    m_external = new QPushButton(QStringLiteral("Check External Links"), body);
    m_external->setObjectName(QStringLiteral("CheckExternalLinks"));
    m_external->setAutoDefault(false);
    m_external->setEnabled(false);
    connect(m_external, &QPushButton::clicked, this, guarded([this] { checkExternal(); }));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), body);
    m_cancel->setObjectName(QStringLiteral("CancelSiteCheck"));
    m_cancel->setAutoDefault(false);
    m_cancel->setEnabled(false);
    connect(m_cancel, &QPushButton::clicked, this, guarded([this] { cancel(); }));
    top->addWidget(m_summary, 1);
    top->addWidget(m_external);
    top->addWidget(m_cancel);
    layout->addLayout(top);
    m_rows = new QTreeWidget(body);
    m_rows->setObjectName(QStringLiteral("SiteCheckRows"));
    m_rows->setAccessibleName(QStringLiteral("Site check results"));
    m_rows->setRootIsDecorated(false);
    m_rows->setUniformRowHeights(true);
    m_rows->setFocusPolicy(Qt::TabFocus);
    m_rows->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Line"),
                             QStringLiteral("Column"), QStringLiteral("Kind"),
                             QStringLiteral("Message")});
    m_rows->header()->setStretchLastSection(true);
    const QFontMetrics metrics(m_rows->font());
    m_rows->header()->resizeSection(0, 24 * metrics.averageCharWidth());
    for (int column : {1, 2, 3})
        m_rows->header()->resizeSection(
            column, metrics.horizontalAdvance(column == 3 ? QStringLiteral("Warning")
                                                          : QStringLiteral("0000000"))
                        + 3 * metrics.averageCharWidth());
    layout->addWidget(m_rows);
    setWidget(body);
    connect(m_rows, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        const QString path = item->data(0, Qt::UserRole).toString();
        if (!path.isEmpty())
            emit placeChosen(path, item->data(1, Qt::DisplayRole).toInt(),
                             item->data(2, Qt::DisplayRole).toInt(),
                             item->data(1, Qt::UserRole).toInt(),
                             item->data(2, Qt::UserRole).toInt());
    });
    connect(&m_jobs, &BackgroundJobs::progress, this,
            [this](const BackgroundJobs::Handle &job, int permille) {
                if (job == m_job)
                    m_summary->setText(
                        QStringLiteral("Checking the site... %1%").arg(permille / 10));
            });
    connect(m_probe, &LinkProbe::failed, this, [this](const QString &url, const QString &why) {
        for (const ExternalAddress &a : std::as_const(m_result.external)) {
            if (a.url != url && QUrl(a.url) != QUrl(url))
                continue;
            SiteMessage m;
            m.path = a.path;
            m.message.line = a.line;
            m.message.column = a.column;
            m.message.kind = QStringLiteral("Error");
            m.message.text = QStringLiteral("`%1` %2").arg(a.url, why);
            m_result.messages.append(m);
            ++m_result.errors;
            addRows({m});
            return;
        }
    });
    connect(m_probe, &LinkProbe::progress, this, [this](int done, int total) {
        m_summary->setText(
            QStringLiteral("Asking external addresses... %1 of %2").arg(done).arg(total));
    });
    connect(m_probe, &LinkProbe::finished, this, [this] {
        m_result.externalTried = true;
        m_cancel->setEnabled(false);
        m_summary->setText(summary());
        emit externalFinished();
    });
}

void SiteCheckPane::check(const QString &folder, const QHash<QString, QString> &openTexts)
{
    // A check still running is passed over, its result never shown; it
    // ends on its own at its next look at the flag.
    if (m_job)
        m_jobs.drop(m_job);
    m_job.reset();
    m_probe->cancel();
    m_rows->clear();
    m_listed = 0;
    m_result = SiteCheckResult();
    m_external->setEnabled(false);
    m_cancel->setEnabled(true);
    m_summary->setText(QStringLiteral("Checking the site..."));
    m_job = m_jobs.run(
        [folder, openTexts](JobControl &control) { return checkSite(folder, openTexts, &control); },
        [this](SiteCheckResult result) {
            m_job.reset();
            showResult(std::move(result));
        });
}

void SiteCheckPane::cancel()
{
    if (m_job) {
        // The job's result, which says it stopped, is still handed over.
        m_job->cancel();
        m_cancel->setEnabled(false);
    } else if (m_probe->isRunning()) {
        m_probe->cancel();
        m_cancel->setEnabled(false);
        m_summary->setText(summary());
        emit externalFinished();
    }
}

void SiteCheckPane::showResult(SiteCheckResult result)
{
    m_result = std::move(result);
    m_cancel->setEnabled(false);
    addRows(m_result.messages);
    m_external->setEnabled(!m_result.cancelled && !probedAddresses().isEmpty());
    m_summary->setText(summary());
    emit finished();
}

void SiteCheckPane::addRows(const QList<SiteMessage> &messages)
{
    QList<QTreeWidgetItem *> items;
    const QString prefix = m_result.folder + u'/';
    for (const SiteMessage &m : messages) {
        if (m_listed >= kMaxRows)
            break;
        ++m_listed;
        auto *item = new QTreeWidgetItem;
        item->setText(0, m.path.startsWith(prefix) ? m.path.mid(prefix.size()) : m.path);
        item->setData(0, Qt::UserRole, m.path);
        item->setData(1, Qt::DisplayRole, m.message.line);
        item->setData(2, Qt::DisplayRole, m.message.column);
        item->setData(1, Qt::UserRole, m.message.lastLine);
        item->setData(2, Qt::UserRole, m.message.lastColumn);
        item->setText(3, m.message.kind);
        item->setText(4, m.message.text);
        item->setToolTip(4, m.message.text);
        items << item;
    }
    m_rows->addTopLevelItems(items);
}

QStringList SiteCheckPane::probedAddresses() const
{
    QStringList urls;
    for (const ExternalAddress &a : m_result.external)
        if (a.url.startsWith(u"http:", Qt::CaseInsensitive)
            || a.url.startsWith(u"https:", Qt::CaseInsensitive))
            urls << a.url;
    return urls;
}

void SiteCheckPane::checkExternal()
{
    const QStringList urls = probedAddresses();
    if (urls.isEmpty() || m_job)
        return;
    if (!ui().confirm(QStringLiteral("Send a HEAD request to each of the %1 external addresses?")
                          .arg(urls.size())))
        return;
    m_cancel->setEnabled(true);
    m_summary->setText(QStringLiteral("Asking external addresses..."));
    m_probe->probe(urls);
}

QString SiteCheckPane::summary() const
{
    if (m_job)
        return QStringLiteral("Checking the site...");
    if (m_result.folder.isEmpty())
        return QString();
    QString s = m_result.summary();
    if (m_listed < m_result.messages.size())
        s += QStringLiteral(" (the first %1 listed)").arg(m_listed);
    return s;
}
