#include "backgroundjob.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>
#include <mutex>

// Where workers post to their owner: the owner empties it when it goes, so
// a worker that outlives it posts to nobody. Posting happens under the
// lock, so the owner cannot go halfway through a post.
struct JobMailbox {
    std::mutex mutex;
    BackgroundJobs *owner = nullptr;
};

struct BackgroundJobs::Job {
    Handle control;
    std::function<void(JobControl &)> work; // touched by the worker only
    std::function<void()> done;             // touched by the owner's thread only
};

namespace {
QThreadPool *pool()
{
    // A child of the application: its end waits for the jobs still running,
    // each of which has been told to stop by then.
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        // A job told to stop may still be inside one long call (a regular
        // expression match); the next job must not queue behind it.
        pool->setMaxThreadCount(64);
        // Jobs come in bursts (a search as you type, a page check): a thread
        // left idle for a second ends rather than wait for the next burst.
        pool->setExpiryTimeout(1000);
    }
    return pool;
}
} // namespace

void JobControl::setProgress(int permille)
{
    const int before = m_permille.exchange(permille, std::memory_order_relaxed);
    if (before / 10 == permille / 10 || !m_mailbox)
        return;
    const std::lock_guard<std::mutex> lock(m_mailbox->mutex);
    BackgroundJobs *owner = m_mailbox->owner;
    if (!owner)
        return;
    QMetaObject::invokeMethod(
        owner,
        [owner, control = weak_from_this(), permille] {
            owner->reportProgress(control.lock(), permille);
        },
        Qt::QueuedConnection);
}

void BackgroundJobs::reportProgress(const Handle &control, int permille)
{
    // A job dropped or ended since is not reported.
    for (const auto &job : m_jobs)
        if (job->control == control && job->done)
            emit progress(control, permille);
}

BackgroundJobs::BackgroundJobs(QObject *parent)
    : QObject(parent), m_mailbox(std::make_shared<JobMailbox>())
{
    m_mailbox->owner = this;
}

BackgroundJobs::~BackgroundJobs()
{
    dropAll();
    const std::lock_guard<std::mutex> lock(m_mailbox->mutex);
    m_mailbox->owner = nullptr;
}

BackgroundJobs::Handle BackgroundJobs::start(std::function<void(JobControl &)> work,
                                             std::function<void()> done)
{
    auto job = std::make_shared<Job>();
    job->control = std::make_shared<JobControl>();
    job->control->m_mailbox = m_mailbox;
    job->work = std::move(work);
    job->done = std::move(done);
    m_jobs.push_back(job);
    pool()->start([job, mailbox = m_mailbox] {
        job->work(*job->control);
        job->work = nullptr; // what it captured goes with the worker
        const std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (mailbox->owner)
            QMetaObject::invokeMethod(
                mailbox->owner, [owner = mailbox->owner, job] { owner->finish(job); },
                Qt::QueuedConnection);
    });
    return job->control;
}

void BackgroundJobs::drop(const Handle &control)
{
    if (!control)
        return;
    control->cancel();
    for (const auto &job : m_jobs)
        if (job->control == control)
            job->done = nullptr;
}

void BackgroundJobs::dropAll()
{
    for (const auto &job : m_jobs) {
        job->control->cancel();
        job->done = nullptr;
    }
}

int BackgroundJobs::pending() const
{
    return int(std::count_if(m_jobs.begin(), m_jobs.end(),
                             [](const auto &job) { return bool(job->done); }));
}

void BackgroundJobs::finish(const std::shared_ptr<Job> &job)
{
    m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), job), m_jobs.end());
    std::function<void()> done = std::move(job->done);
    job->done = nullptr;
    if (done)
        done(); // may start the next job
}
