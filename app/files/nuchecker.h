#pragma once
// Checks pages against today's HTML with the Nu Html Checker, run as one
// Java process that starts with the first check and stays while the editor
// runs. Pages go to it over HTTP on 127.0.0.1, on a port picked at random.
// It can fetch nothing: its service would check a page named by address,
// for any program on the machine that asks, and its own settings for
// proxies are not heeded; so Java's security manager allows it no socket
// but its own on 127.0.0.1. Everything here is asynchronous on the owner's
// thread: a check is asked for and its result arrives by signal, so the GUI
// never waits on the checker. A checker that dies or stops answering is
// started again (once per check) and that is reported.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QProcess;
class QTemporaryFile;
class QTimer;

struct NuMessage {
    enum Severity { Error, Warning, Info };
    int line = 0; // 1-based; the range runs from line:column to lastLine:lastColumn
    int column = 0;
    int lastLine = 0;
    int lastColumn = 0;
    Severity severity = Error;
    QString text;
};

struct NuCheckResult {
    enum Outcome {
        Checked,
        NoJava,    // no Java runtime: the caller falls back to another check
        NoChecker, // the checker's jar is missing
        Failed     // the checker would not start or answer, even when started again
    };
    Outcome outcome = Checked;
    QList<NuMessage> messages;
    QString detail; // for the outcomes other than Checked, in words for the user
};

class NuChecker : public QObject {
    Q_OBJECT
public:
    explicit NuChecker(QObject *parent = nullptr);
    // Ends the checker's process.
    ~NuChecker() override;

    // Where java and vnu.jar are; by default java on PATH and the jar an
    // installed editor ships, else the one the build found.
    void setJava(const QString &path) { m_java = path; }
    void setJar(const QString &path) { m_jar = path; }
    static QString defaultJar();
    // How long the checker may take to start, and to answer one page.
    void setTimeouts(int startMs, int answerMs);

    // Checks `utf8Page`; finished() tells the result. A check asked for
    // while another waits replaces the waiting one.
    void check(const QByteArray &utf8Page, bool packed = false);
    // The page as packPage() gives it: UTF-8, gzip-compressed, so that a
    // large page is handed over whole before the checker answers (it stops
    // reading after its thousandth message and closes the connection;
    // the answer to a page half sent was lost with it). Costs a few tens of
    // milliseconds on a large page: made off the GUI thread.
    static QByteArray packPage(const QString &text);
    bool isRunning() const;
    qint64 processId() const;
    // Where the checker serves while it runs; 0 before.
    quint16 port() const { return m_ready ? m_port : 0; }

    // The checker's JSON results as messages; false when it is not such.
    // `failure` gets what kept it from checking the page (too large, say).
    static bool parseResults(const QByteArray &json, QList<NuMessage> *messages,
                             QString *failure = nullptr);

signals:
    void finished(const NuCheckResult &result);
    // The checker stopped or hung and is started again; `why` in words.
    void restarted(const QString &why);

private:
    void start();
    void send();
    void onOutput();
    void onExit(const QString &why);
    void finish(const NuCheckResult &result);
    void stopProcess();

    QString m_java;
    QString m_jar;
    int m_startMs = 120000;
    int m_answerMs = 60000;
    QProcess *m_process = nullptr;
    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    QTimer *m_startTimer = nullptr;
    QByteArray m_output; // the checker's output until it says it serves
    quint16 m_port = 0;
    QTemporaryFile *m_policy = nullptr; // what Java allows the checker; read as it starts
    bool m_ready = false;
    bool m_hasPage = false; // a page waits or is being checked
    bool m_retried = false; // this page's checker was started again once
    bool m_lost = false;    // the last checker died while idle
    QByteArray m_page;
    bool m_packed = false;
};
