#include "workprogress.h"

namespace {
thread_local ProgressScope *innermostScope = nullptr;
}

ProgressScope::ProgressScope(ProgressReporter reporter)
    : m_reporter(std::move(reporter)), m_outer(innermostScope)
{
    innermostScope = this;
}

ProgressScope::~ProgressScope() { innermostScope = m_outer; }

bool ProgressScope::report(qint64 done, qint64 total)
{
    bool goOn = true;
    for (ProgressScope *s = innermostScope; s; s = s->m_outer)
        if (s->m_reporter && !s->m_reporter(done, total))
            goOn = false;
    return goOn;
}
