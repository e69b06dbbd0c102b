#include "siterenames.h"

#include "document.h"
#include "documenttable.h"
#include "fileedits.h"
#include "pagetext.h"
#include "renamereview.h"
#include "sitefolder.h"
#include "siterename.h"
#include "uiseam.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>

namespace {
// The progress box shows only for a site that takes longer than this.
constexpr int kProgressAfterMs = 1000;

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }
} // namespace

SiteRenames::SiteRenames(DocumentTable *docs, SiteFolder *site, QWidget *window, QObject *parent)
    : QObject(parent), m_docs(docs), m_site(site), m_window(window),
      m_jobs(new BackgroundJobs(this))
{
    connect(m_jobs, &BackgroundJobs::progress, this,
            [this](const BackgroundJobs::Handle &job, int permille) {
                if (m_progress && job == m_job)
                    m_progress->setValue(permille);
            });
}

// The progress box belongs to the window; a rename ending with its owner
// takes it along.
SiteRenames::~SiteRenames() { delete m_progress.data(); }

void SiteRenames::rename(const QString &from, const QString &to)
{
    runGuarded([&] { start(from, to); });
}

void SiteRenames::start(const QString &from, const QString &to)
{
    if (m_job) {
        reportError(QStringLiteral("Another rename is being worked out."));
        return;
    }
    const QString refusal = renameRefusal(from, to);
    if (!refusal.isEmpty()) {
        reportError(QStringLiteral("Cannot rename %1: %2").arg(shown(from), refusal));
        emit finished(false);
        return;
    }
    // The planner reads open pages as they stand in the editor, not on disk.
    QHash<QString, QString> texts;
    m_editCounts.clear();
    for (PageDocument *page : m_docs->pages()) {
        if (page->filePath().isEmpty())
            continue;
        const QString path = QDir::cleanPath(page->filePath());
        QString text = page->text()->toRawText();
        text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
        texts.insert(path, text);
        m_editCounts.insert(path, page->editCount());
    }
    QString site = m_site ? m_site->path() : QString();
    if (site.isEmpty())
        site = QFileInfo(from).absolutePath();
    m_job = m_jobs->run(
        [site, from, to, texts](JobControl &control) {
            return planRename(site, from, to, texts, &control);
        },
        [this](const RenamePlan &plan) {
            m_job.reset();
            closeProgress();
            bool renamed = false;
            runGuarded([&] { renamed = review(plan); });
            emit finished(renamed);
        });
    m_progress =
        new QProgressDialog(QStringLiteral("Finding the references to %1...").arg(shown(from)),
                            QStringLiteral("Cancel"), 0, 1000, m_window);
    m_progress->setObjectName(QStringLiteral("RenameProgress"));
    m_progress->setWindowModality(Qt::ApplicationModal);
    m_progress->setMinimumDuration(kProgressAfterMs);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setValue(0);
    connect(m_progress, &QProgressDialog::canceled, this, &SiteRenames::cancel);
}

void SiteRenames::cancel()
{
    if (!m_job)
        return;
    m_jobs->drop(m_job);
    m_job.reset();
    closeProgress();
    emit finished(false);
}

void SiteRenames::closeProgress()
{
    if (!m_progress)
        return;
    m_progress->disconnect(this);
    // cancel() also stops the timer that shows the box after its delay:
    // hidden alone, it came back over the list of changes.
    m_progress->cancel();
    m_progress->deleteLater();
    m_progress.clear();
}

bool SiteRenames::review(const RenamePlan &plan)
{
    if (plan.cancelled)
        return false;
    if (!plan.refusal.isEmpty()) {
        reportError(QStringLiteral("Cannot rename %1: %2").arg(shown(plan.from), plan.refusal));
        return false;
    }
    // Edits are placed by line and column in the texts read: a page typed
    // in meanwhile would be changed in the wrong places.
    for (PageDocument *page : m_docs->pages()) {
        const auto was = m_editCounts.constFind(QDir::cleanPath(page->filePath()));
        if (was != m_editCounts.cend() && *was != page->editCount()) {
            reportError(QStringLiteral("%1 changed while its references were being found: "
                                       "nothing was renamed. Try again.")
                            .arg(shown(page->filePath())));
            return false;
        }
    }
    RenameReview dialog(plan, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return apply(plan, dialog.chosen());
}

bool SiteRenames::apply(const RenamePlan &plan, const QList<bool> &chosen)
{
    // Checked again: the disk may have changed while the list was shown.
    const QString refusal = renameRefusal(plan.from, plan.to);
    if (!refusal.isEmpty()) {
        reportError(QStringLiteral("Cannot rename %1: %2").arg(shown(plan.from), refusal));
        return false;
    }
    const bool renamed = QFileInfo(plan.from).isDir() ? QDir().rename(plan.from, plan.to)
                                                      : QFile::rename(plan.from, plan.to);
    if (!renamed) {
        reportError(
            QStringLiteral("Cannot rename %1 to %2.").arg(shown(plan.from), shown(plan.to)));
        return false;
    }
    // Open documents follow first, so that their edits land in them and not
    // in their files behind their backs.
    for (PageDocument *page : m_docs->pages()) {
        if (page->filePath().isEmpty())
            continue;
        const QString was = QDir::cleanPath(page->filePath());
        const QString now = pathAfterRename(was, plan.from, plan.to);
        if (now != was)
            page->followRename(now);
    }
    const FileEditsOutcome outcome = applyFileEdits(m_docs, renameEdits(plan, chosen));
    if (!outcome.changedOnDisk.isEmpty() || !outcome.failed.isEmpty()) {
        QString text = QStringLiteral("%1 was renamed to %2, but not every reference followed.")
                           .arg(shown(plan.from), shown(plan.to));
        if (!outcome.changedOnDisk.isEmpty())
            text += QStringLiteral("\n\nChanged by another program since, left as they are:\n")
                    + outcome.changedOnDisk.join(u'\n');
        if (!outcome.failed.isEmpty())
            text += QStringLiteral("\n\nNot written:\n") + outcome.failed.join(u'\n');
        ui().warningBox(text);
    }
    return true;
}
