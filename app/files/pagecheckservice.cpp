#include "pagecheckservice.h"
#include "nuchecker.h"
#include "pageadvice.h"
#include "plainwords.h"

#include <QTimer>
#include <algorithm>

PageCheckService::PageCheckService(NuChecker *nu, QObject *parent)
    : QObject(parent), m_nu(nu), m_jobs(new BackgroundJobs(this)), m_advice(kAllAdvice)
{
    if (!nu)
        return;
    connect(nu, &NuChecker::finished, this, &PageCheckService::onConformance);
    connect(nu, &NuChecker::restarted, this, [this](const QString &why) {
        m_restarted = why;
        emit restarted(why);
    });
}

PageCheckService::Check *PageCheckService::find(quint64 ticket)
{
    auto it = std::find_if(m_checks.begin(), m_checks.end(),
                           [ticket](const Check &c) { return c.ticket == ticket; });
    return it == m_checks.end() ? nullptr : &*it;
}

quint64 PageCheckService::check(const QString &text)
{
    m_checks.emplace_back();
    Check &c = m_checks.back();
    c.ticket = ++m_lastTicket;
    c.text = text;
    const quint64 ticket = c.ticket;
    const unsigned enabled = m_advice;
    c.adviceJob = m_jobs->run(
        [text, enabled](JobControl &control) {
            return accessibilityAdvice(text, enabled, control.cancelFlag());
        },
        [this, ticket](const QList<PageMessage> &advice) {
            if (Check *c = find(ticket)) {
                c->advice = advice;
                c->adviceDone = true;
                c->adviceJob.reset();
                maybeFinish(ticket);
            }
        });
    const QString older = declaredOlderDoctype(text);
    if (!older.isEmpty()) {
        c.standard = tr("Checked by HTML Tidy against %1, as the page declares").arg(older);
        runTidy(c);
    } else if (!m_nu || m_noJava) {
        c.standard =
            m_noJava ? tr("Checked by HTML Tidy (no Java runtime)") : tr("Checked by HTML Tidy");
        runTidy(c);
    } else {
        // Packed on the worker; handed over from there, so finished() never
        // comes within check() even when the checker answers at once (no Java).
        c.packJob = m_jobs->run([text](JobControl &) { return NuChecker::packPage(text); },
                                [this, ticket](const QByteArray &packed) {
                                    if (Check *c = find(ticket)) {
                                        c->packJob.reset();
                                        c->packed = packed.isEmpty() ? c->text.toUtf8() : packed;
                                        c->isPacked = !packed.isEmpty();
                                        startNext();
                                    }
                                });
    }
    return ticket;
}

void PageCheckService::forget(quint64 ticket)
{
    auto it = std::find_if(m_checks.begin(), m_checks.end(),
                           [ticket](const Check &c) { return c.ticket == ticket; });
    if (it == m_checks.end())
        return;
    m_jobs->drop(it->tidyJob);
    m_jobs->drop(it->adviceJob);
    m_jobs->drop(it->combineJob);
    m_jobs->drop(it->packJob);
    m_checks.erase(it);
    // The checker's answer for it, when it comes, is passed over (m_atChecker
    // still names it); the next page goes to it then.
}

void PageCheckService::startNext()
{
    if (m_atChecker != 0 || !m_nu)
        return;
    for (Check &c : m_checks) {
        if (c.conformanceDone || c.tidy)
            continue;
        if (c.packJob)
            return; // its turn, once packed
        if (m_noJava) {
            c.standard = tr("Checked by HTML Tidy (no Java runtime)");
            runTidy(c);
            continue;
        }
        m_atChecker = c.ticket;
        m_nu->check(std::exchange(c.packed, QByteArray()), c.isPacked);
        return;
    }
}

void PageCheckService::onConformance(const NuCheckResult &result)
{
    const quint64 ticket = std::exchange(m_atChecker, 0);
    Check *c = find(ticket);
    if (c) {
        if (result.outcome != NuCheckResult::Checked) {
            // Without Java this is said once; later checks go to Tidy directly.
            m_noJava = result.outcome != NuCheckResult::Failed;
            QString detail = result.detail;
            if (!detail.endsWith(QLatin1Char('.')))
                detail += QLatin1Char('.');
            c->standard = detail + QLatin1Char(' ') + tr("Checked by HTML Tidy instead.");
            runTidy(*c);
        } else {
            c->standard = tr("Checked against the HTML living standard");
            if (!m_restarted.isEmpty())
                c->standard +=
                    QStringLiteral(" (") + std::exchange(m_restarted, QString()) + QLatin1Char(')');
            PageSource page(c->text);
            for (const NuMessage &m : result.messages) {
                if (passedOver(m.text))
                    continue;
                // A page without a language is the accessibility advice's,
                // which the pane can switch off and which also finds lang="".
                if (m.text.startsWith(u"Consider adding a \u201clang\u201d attribute"))
                    continue;
                PageMessage row{m.line, m.column, m.lastLine, m.lastColumn, QString(), m.text};
                row.text = plainWords(row, page);
                row.kind = m.severity == NuMessage::Error     ? QStringLiteral("Error")
                           : m.severity == NuMessage::Warning ? QStringLiteral("Warning")
                                                              : QStringLiteral("Advice");
                c->found.append(row);
            }
            c->conformanceDone = true;
            c->text.clear(); // no Tidy will need it
            maybeFinish(ticket);
        }
    }
    startNext();
}

void PageCheckService::runTidy(Check &c)
{
    c.tidy = true;
    const quint64 ticket = c.ticket;
    c.tidyJob = m_jobs->run(
        [text = c.text](JobControl &control) {
            PageCheckResult result = checkPage(text, control.cancelFlag());
            for (PageMessage &m : result.messages)
                m.text = plainWords(m.text);
            return result;
        },
        [this, ticket](const PageCheckResult &result) {
            if (Check *c = find(ticket)) {
                c->found = result.messages;
                c->conformanceDone = true;
                c->tidyJob.reset();
                maybeFinish(ticket);
            }
        });
    c.text.clear();
}

void PageCheckService::maybeFinish(quint64 ticket)
{
    Check *c = find(ticket);
    if (!c || !c->conformanceDone || !c->adviceDone || c->combineJob)
        return;
    // Sorting and folding a hostile page's hundreds of thousands of results
    // takes a while: on the worker, not between two keys.
    c->combineJob = m_jobs->run(
        [found = std::move(c->found), advice = std::move(c->advice),
         standard = c->standard](JobControl &) mutable {
            PageCheckResult result;
            result.standard = standard;
            result.messages = std::move(found);
            result.messages += advice;
            std::stable_sort(result.messages.begin(), result.messages.end(),
                             [](const PageMessage &a, const PageMessage &b) {
                                 return std::tie(a.line, a.column) < std::tie(b.line, b.column);
                             });
            foldDuplicates(&result.messages);
            result.count();
            return result;
        },
        [this, ticket](const PageCheckResult &result) {
            auto it = std::find_if(m_checks.begin(), m_checks.end(),
                                   [ticket](const Check &c) { return c.ticket == ticket; });
            if (it == m_checks.end())
                return;
            m_checks.erase(it);
            emit finished(ticket, result);
        });
}
