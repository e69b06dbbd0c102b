#pragma once
// The "Site Check" pane: checks the links of a folder's pages off the GUI
// thread and lists what it found, one row a message with its file. A row
// chosen (double-click or Enter) asks for its place in its file. External
// addresses are only counted, until the user asks for them to be tried.
#include "backgroundjob.h"
#include "sitecheck.h"

#include <QDockWidget>
#include <QHash>

class LinkProbe;
class QLabel;
class QPushButton;
class QTreeWidget;

class SiteCheckPane : public QDockWidget {
    Q_OBJECT
public:
    explicit SiteCheckPane(QWidget *parent = nullptr);

    // Checks the site under `folder`; `openTexts` as checkSite() takes them.
    // A check still running is dropped.
    void check(const QString &folder, const QHash<QString, QString> &openTexts);
    void cancel();
    bool isChecking() const { return bool(m_job); }
    const SiteCheckResult &result() const { return m_result; }
    QString summary() const;
    QTreeWidget *rows() const { return m_rows; }
    // Asks, then sends a HEAD request to each external address.
    void checkExternal();
    LinkProbe *probe() const { return m_probe; }

    static constexpr int kMaxRows = 10000;

signals:
    void placeChosen(const QString &path, int line, int column, int lastLine, int lastColumn);
    void finished();
    void externalFinished();

private:
    void showResult(SiteCheckResult result);
    void addRows(const QList<SiteMessage> &messages);
    QStringList probedAddresses() const;

    BackgroundJobs m_jobs;
    BackgroundJobs::Handle m_job;
    SiteCheckResult m_result;
    LinkProbe *m_probe;
    QLabel *m_summary;
    QPushButton *m_external;
    QPushButton *m_cancel;
    QTreeWidget *m_rows;
    int m_listed = 0;
};
