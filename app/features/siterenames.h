#pragma once
// Renaming or moving a file or folder of the site with its references kept:
// the changes are worked out on a worker (cancellable), listed for the user
// to check, then the file is renamed on disk, open documents of renamed
// files follow their new names and the references are rewritten (open
// pages in their documents, one undo step each; others on disk).
#include "backgroundjob.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class DocumentTable;
class QProgressDialog;
class QWidget;
class SiteFolder;
struct RenamePlan;

class SiteRenames : public QObject {
    Q_OBJECT
public:
    // The dialogs open over `window`; `site` tells the folder whose pages
    // and stylesheets are searched (none open: the folder of what is renamed).
    SiteRenames(DocumentTable *docs, SiteFolder *site, QWidget *window, QObject *parent = nullptr);
    ~SiteRenames() override;

    // Renames `from` (a file or a folder) to `to`, after listing what
    // changes. Returns at once: the changes are worked out on a worker.
    void rename(const QString &from, const QString &to);
    // Working out a rename (finished() follows).
    bool isBusy() const { return bool(m_job); }

signals:
    // A rename ended: done, or refused, cancelled or failed (nothing renamed).
    void finished(bool renamed);

private:
    void start(const QString &from, const QString &to);
    bool review(const RenamePlan &plan);
    bool apply(const RenamePlan &plan, const QList<bool> &chosen);
    void cancel();
    void closeProgress();

    DocumentTable *m_docs;
    QPointer<SiteFolder> m_site;
    QPointer<QWidget> m_window;
    BackgroundJobs *m_jobs;
    BackgroundJobs::Handle m_job;
    QPointer<QProgressDialog> m_progress;
    // The open pages' edit counts when their texts were taken for planning.
    QHash<QString, quint64> m_editCounts;
};
