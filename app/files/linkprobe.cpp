#include "linkprobe.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

LinkProbe::LinkProbe(QObject *parent) : QObject(parent) {}

void LinkProbe::probe(const QStringList &urls)
{
    cancel();
    if (!m_net)
        m_net = new QNetworkAccessManager(this);
    for (const QString &u : urls) {
        const QString scheme = QUrl(u).scheme().toLower();
        if (scheme == u"http" || scheme == u"https")
            m_queue << u;
    }
    m_total = int(m_queue.size());
    m_done = 0;
    if (m_queue.isEmpty()) {
        emit finished();
        return;
    }
    for (int i = 0; i < kAtOnce; ++i)
        next();
}

void LinkProbe::cancel()
{
    m_queue.clear();
    if (!m_net)
        return;
    // Replies aborted now still finish: they are no longer counted.
    for (QNetworkReply *reply : m_net->findChildren<QNetworkReply *>()) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_running = 0;
}

void LinkProbe::next()
{
    if (m_queue.isEmpty())
        return;
    QNetworkRequest request(QUrl(m_queue.takeFirst()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = m_net->head(request);
    ++m_running;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { answered(reply); });
}

void LinkProbe::answered(QNetworkReply *reply)
{
    reply->deleteLater();
    --m_running;
    ++m_done;
    const QString url = reply->request().url().toString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        emit failed(url, QStringLiteral("answered %1 %2").arg(status).arg(reason).trimmed());
    } else if (status == 0) {
        const QString why =
            reply->error() == QNetworkReply::OperationCanceledError
                ? QStringLiteral("no answer within %1 seconds").arg(timeoutMs / 1000)
                : reply->errorString();
        emit failed(url, QStringLiteral("gave no answer: %1").arg(why));
    }
    emit progress(m_done, m_total);
    next();
    if (m_running == 0 && m_queue.isEmpty())
        emit finished();
}
