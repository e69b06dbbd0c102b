#pragma once
// The one page check that the pane, checking as you type and the command
// line share: pages of today's HTML go to the conformance checker, pages
// declaring an older doctype (or every page, without Java) to Tidy; the
// accessibility advice is added, the messages put in plain words and
// duplicates folded. Asynchronous on the owner's thread: check() gives a
// ticket, and finished() tells that ticket's result; the GUI never waits.
// Pages go to the conformance checker one at a time, in the order asked.
#include "backgroundjob.h"
#include "pagecheck.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>

class NuChecker;
struct NuCheckResult;

class PageCheckService : public QObject {
    Q_OBJECT
public:
    // `nu` may be null: every page is then checked by Tidy.
    explicit PageCheckService(NuChecker *nu, QObject *parent = nullptr);

    // The kinds of accessibility advice given (AdviceKind bits).
    void setAdvice(unsigned enabled) { m_advice = enabled; }
    unsigned advice() const { return m_advice; }

    // Checks `text`; finished(ticket, result) follows, never before this
    // returns. Tickets are never 0.
    quint64 check(const QString &text);
    // The ticket's result is not wanted: its work stops where it can and
    // finished() is not told of it.
    void forget(quint64 ticket);
    // Pages handed over whose result has not been told.
    int pending() const { return int(m_checks.size()); }
    // Work on the workers that has not ended, forgotten checks' included.
    int jobsRunning() const { return m_jobs->running(); }
    // Told once when the conformance checker is found missing (no Java):
    // what to install. Later checks go to Tidy without trying it again.
    bool conformanceUnavailable() const { return m_noJava; }

signals:
    void finished(quint64 ticket, const PageCheckResult &result);
    // The conformance checker stopped or hung and was started again.
    void restarted(const QString &why);

private:
    struct Check {
        quint64 ticket = 0;
        QString text;
        QByteArray packed;     // for the conformance checker, once made
        bool isPacked = false; // compressed, as it normally is
        QString standard;
        bool conformanceDone = false; // or Tidy's check
        bool adviceDone = false;
        bool tidy = false;
        QList<PageMessage> found;
        QList<PageMessage> advice;
        BackgroundJobs::Handle tidyJob, adviceJob, combineJob, packJob;
    };
    Check *find(quint64 ticket);
    void startNext();
    void onConformance(const NuCheckResult &result);
    void runTidy(Check &c);
    void maybeFinish(quint64 ticket);

    QPointer<NuChecker> m_nu;
    BackgroundJobs *m_jobs;
    unsigned m_advice;
    quint64 m_lastTicket = 0;
    std::deque<Check> m_checks; // in the order asked
    quint64 m_atChecker = 0;    // the ticket the conformance checker has
    bool m_noJava = false;
    QString m_restarted; // why the checker was started again, for the next result
};
