#include "searchrunner.h"

#include <mutex>
#include <thread>

struct SearchRunner::Job {
    SearchControl control;
    std::function<void(SearchControl &)> work; // touched by the worker only
    std::function<void()> done;                // touched by the runner's thread only
};

// Where a worker hands back its job: the runner empties it when it goes, so
// a worker that outlives it posts to nobody.
struct SearchRunner::Mailbox {
    std::mutex mutex;
    SearchRunner *runner = nullptr;
};

SearchRunner::SearchRunner(QObject *parent)
    : QObject(parent), m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->runner = this;
}

SearchRunner::~SearchRunner()
{
    cancel();
    const std::lock_guard<std::mutex> lock(m_mailbox->mutex);
    m_mailbox->runner = nullptr;
}

void SearchRunner::run(std::function<void(SearchControl &)> work, std::function<void()> done)
{
    cancel();
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    job->done = std::move(done);
    m_job = job;
    // Detached: a worker stuck in one long engine call must not hold up a
    // newer search nor the application's exit.
    std::thread([job, mailbox = m_mailbox] {
        job->work(job->control);
        job->work = nullptr; // what it captured goes with the worker
        const std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (mailbox->runner && !job->control.cancelled.load())
            QMetaObject::invokeMethod(
                mailbox->runner, [runner = mailbox->runner, job] { runner->finish(job); },
                Qt::QueuedConnection);
    }).detach();
}

void SearchRunner::cancel()
{
    if (!m_job)
        return;
    m_job->control.cancelled.store(true);
    m_job->done = nullptr;
    m_job.reset();
}

int SearchRunner::permille() const
{
    return m_job ? m_job->control.permille.load(std::memory_order_relaxed) : 0;
}

void SearchRunner::finish(const std::shared_ptr<Job> &job)
{
    if (job != m_job)
        return; // replaced or cancelled after it had posted
    std::function<void()> done = std::move(job->done);
    job->done = nullptr;
    m_job.reset();
    if (done)
        done(); // may start the next run
}
