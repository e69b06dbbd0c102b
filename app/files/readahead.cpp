#include "readahead.h"
#include "backgroundjob.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

namespace {
// Pieces decoded ahead of the one being put in: enough to keep both
// threads busy, few enough that memory stays about one page.
constexpr size_t kAhead = 2;

// What the worker and the caller share; each holds it, so neither outlives
// the other's use of it.
struct Handoff {
    std::mutex m;
    std::condition_variable changed;
    std::deque<QString> pieces;
    std::vector<QString> spare; // put in already: their buffers are used again
    bool ended = false;
    std::optional<StreamedText> result;
    std::exception_ptr error;
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
};
} // namespace

std::optional<StreamedText> streamTextFileAhead(const QString &path,
                                                const std::function<void(const QString &)> &piece,
                                                qint64 limit, const QString &tooLargeText,
                                                qsizetype chunkBytes)
{
    if (QFileInfo(path).size() <= 4 * qint64(chunkBytes))
        return streamTextFile(path, piece, limit, tooLargeText, chunkBytes);
    auto h = std::make_shared<Handoff>();
    BackgroundJobs jobs;
    const BackgroundJobs::Handle job = jobs.run(
        [h, path, limit, tooLargeText, chunkBytes](JobControl &control) {
            // The reader's progress, passed over for the caller to tell.
            ProgressScope told([&h, &control](qint64 done, qint64 total) {
                h->total.store(total, std::memory_order_relaxed);
                h->done.store(done, std::memory_order_relaxed);
                return !control.isCancelled();
            });
            std::optional<StreamedText> result;
            std::exception_ptr error;
            try {
                result = streamTextFile(
                    path,
                    [&h, &control, chunkBytes](const QString &text) {
                        // A page read whole (UTF-16, say) is one piece, shared
                        // as it is: a copy would hold it twice.
                        if (text.size() > 8 * chunkBytes) {
                            const std::lock_guard<std::mutex> lock(h->m);
                            h->pieces.push_back(text);
                            h->changed.notify_all();
                            return;
                        }
                        QString copy;
                        {
                            std::unique_lock<std::mutex> lock(h->m);
                            h->changed.wait(lock, [&] {
                                return h->pieces.size() < kAhead || control.isCancelled();
                            });
                            if (control.isCancelled())
                                throw WorkCancelled();
                            if (!h->spare.empty()) {
                                copy = std::move(h->spare.back());
                                h->spare.pop_back();
                            }
                        }
                        // A copy of its own, the reader reuses its buffer; made
                        // in one already used, as fresh memory for each piece
                        // would stay with this thread's heap.
                        copy.resize(text.size());
                        std::copy_n(text.constData(), text.size(), copy.data());
                        const std::lock_guard<std::mutex> lock(h->m);
                        h->pieces.push_back(std::move(copy));
                        h->changed.notify_all();
                    },
                    limit, tooLargeText, chunkBytes);
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard<std::mutex> lock(h->m);
            h->result = std::move(result);
            h->error = error;
            h->ended = true;
            h->changed.notify_all();
        },
        [] {});
    // Stops the worker when the caller leaves early (a cancel, or a throw
    // from `piece`); it ends at its next wait or progress report.
    const auto stopOnLeave = qScopeGuard([&] {
        job->cancel();
        const std::lock_guard<std::mutex> lock(h->m);
        h->changed.notify_all();
    });
    qint64 told = -1;
    for (;;) {
        QString next;
        bool have = false, ended = false;
        {
            std::unique_lock<std::mutex> lock(h->m);
            h->changed.wait_for(lock, std::chrono::milliseconds(50),
                                [&] { return !h->pieces.empty() || h->ended; });
            if (!h->pieces.empty()) {
                next = std::move(h->pieces.front());
                h->pieces.pop_front();
                have = true;
                h->changed.notify_all();
            } else {
                ended = h->ended;
            }
        }
        const qint64 done = h->done.load(std::memory_order_relaxed);
        if (done != told) {
            told = done;
            if (!ProgressScope::report(done, h->total.load(std::memory_order_relaxed)))
                throw WorkCancelled();
        }
        if (have) {
            piece(next);
            if (next.isDetached()) {
                const std::lock_guard<std::mutex> lock(h->m);
                h->spare.push_back(std::move(next));
            }
        } else if (ended)
            break;
    }
    h->spare.clear(); // the worker has ended: nothing is put in them again
    if (h->error)
        std::rethrow_exception(h->error);
    return std::move(h->result);
}
