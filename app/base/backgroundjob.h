#pragma once
// Work off the GUI thread, done one way throughout: a function runs on a
// pool thread with a JobControl it polls to learn it should stop and tells
// how far it has come; its result is handed to a function on the owner's
// thread. An owner that goes first, or drops a job, waits for nothing: the
// job ends on its own at its next poll and its result is passed over. The
// pool belongs to the application, whose end joins its threads, so no job
// outlives the program.
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

struct JobMailbox;

// Shared between a job and whoever started it.
class JobControl : public std::enable_shared_from_this<JobControl> {
public:
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    // Asks the job to stop; unlike BackgroundJobs::drop its result (which
    // says it stopped) is still handed over.
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    // The same, for plain functions that poll a flag of their own.
    const std::atomic<bool> *cancelFlag() const { return &m_cancelled; }
    // How far the job has come, 0..1000. Each new whole percent is passed
    // on to the owner's progress() signal.
    int progress() const { return m_permille.load(std::memory_order_relaxed); }
    void setProgress(int permille);

private:
    friend class BackgroundJobs;
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_permille{0};
    std::shared_ptr<JobMailbox> m_mailbox; // where progress is posted
};

class BackgroundJobs : public QObject {
    Q_OBJECT
public:
    using Handle = std::shared_ptr<JobControl>;

    explicit BackgroundJobs(QObject *parent = nullptr);
    // Drops every job, waiting for none.
    ~BackgroundJobs() override;

    // Runs `work(JobControl &)` on a pool thread; `done` then receives what
    // it returned, on this object's thread, unless the job was dropped
    // first. `work` may use only what it holds by value.
    template <typename Work, typename Done> Handle run(Work work, Done done)
    {
        using Result = std::invoke_result_t<Work &, JobControl &>;
        if constexpr (std::is_void_v<Result>) {
            return start(std::function<void(JobControl &)>(std::move(work)),
                         std::function<void()>(std::move(done)));
        } else {
            auto result = std::make_shared<std::optional<Result>>();
            auto produce = [work = std::move(work), result](JobControl &c) mutable {
                result->emplace(work(c));
            };
            auto hand = [done = std::move(done), result]() mutable { done(std::move(**result)); };
            return start(std::move(produce), std::move(hand));
        }
    }

    // Asks the job to stop and passes its result over: its `done` never runs.
    void drop(const Handle &job);
    void dropAll();
    // Jobs whose `done` is still to come.
    int pending() const;
    // Jobs whose work has not ended yet, dropped ones included.
    int running() const { return int(m_jobs.size()); }

signals:
    void progress(const BackgroundJobs::Handle &job, int permille);

private:
    friend class JobControl;
    struct Job;
    void reportProgress(const Handle &control, int permille);
    Handle start(std::function<void(JobControl &)> work, std::function<void()> done);
    void finish(const std::shared_ptr<Job> &job);

    std::vector<std::shared_ptr<Job>> m_jobs;
    std::shared_ptr<JobMailbox> m_mailbox;
};
