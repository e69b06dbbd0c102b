#pragma once
// Runs the find bar's searches on a thread of their own, so that no
// pattern, however costly, can freeze the editor. One run at a time counts:
// a newer run replaces the older, which is told to stop and whose result is
// dropped. A thread still inside one call of the regular expression engine
// finishes that call on its own and then ends; nothing waits for it.
#include <QObject>
#include <functional>
#include <memory>

#include "textsearch.h"

class SearchRunner : public QObject {
    Q_OBJECT
public:
    explicit SearchRunner(QObject *parent = nullptr);
    ~SearchRunner() override;

    // `work` runs on the worker thread and may use only what it holds by
    // value (a copy of the text, the query); `done` runs on this object's
    // thread afterwards, if no newer run or cancel() came first.
    void run(std::function<void(SearchControl &)> work, std::function<void()> done);
    // Stops the current run; its `done` never runs.
    void cancel();
    bool isRunning() const { return bool(m_job); }
    // How far the current run has read, 0..1000.
    int permille() const;

private:
    struct Job;
    struct Mailbox;
    void finish(const std::shared_ptr<Job> &job);

    std::shared_ptr<Job> m_job;
    std::shared_ptr<Mailbox> m_mailbox;
};
