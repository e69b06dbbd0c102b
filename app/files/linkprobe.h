#pragma once
// Asks web servers whether addresses a site links to answer: one HEAD
// request each (no page is fetched), a few at a time, redirects followed,
// each given up after a while. Only ever started by the user.
#include <QObject>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

class LinkProbe : public QObject {
    Q_OBJECT
public:
    explicit LinkProbe(QObject *parent = nullptr);

    // Asks about each http: and https: address of `urls` (others are passed
    // over); what a probe still running asked is dropped.
    void probe(const QStringList &urls);
    void cancel();
    bool isRunning() const { return m_running > 0 || !m_queue.isEmpty(); }

    static constexpr int kAtOnce = 4;
    int timeoutMs = 10000;

signals:
    // An address answered with an error status, or not at all.
    void failed(const QString &url, const QString &why);
    void progress(int done, int total);
    void finished();

private:
    void next();
    void answered(QNetworkReply *reply);

    QNetworkAccessManager *m_net = nullptr;
    QStringList m_queue;
    int m_running = 0;
    int m_done = 0;
    int m_total = 0;
};
