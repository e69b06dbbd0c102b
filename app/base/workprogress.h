#pragma once
// How far a long read or write is, told to whoever shows it, and a way for
// them to cancel a read.
#include <QtGlobal>
#include <exception>
#include <functional>

// Long reads and writes tell the reporters of their thread (every scope
// alive) how far they are, about once a megabyte. A reporter returning false
// cancels a read (it then throws WorkCancelled); a write cannot be cancelled
// halfway and goes on.
using ProgressReporter = std::function<bool(qint64 done, qint64 total)>;
class ProgressScope {
public:
    explicit ProgressScope(ProgressReporter reporter);
    ~ProgressScope();
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;
    // Tells every reporter; false when one asks to cancel.
    static bool report(qint64 done, qint64 total);

private:
    ProgressReporter m_reporter;
    ProgressScope *m_outer;
};

class WorkCancelled : public std::exception {
public:
    const char *what() const noexcept override { return "cancelled"; }
};
