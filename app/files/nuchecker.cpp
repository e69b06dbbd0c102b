#include "nuchecker.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <sys/prctl.h>
#include <zlib.h>

namespace {

// What the checker prints once it serves.
const QByteArray readyLine = "Checker service started at ";

const char *installHint = "Install a Java runtime (Debian: apt-get install default-jre-headless).";

// A free port on 127.0.0.1, as the system hands one out. Another program
// could take it before the checker binds it; the checker then does not
// start and is started again on a new one.
quint16 freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

// Everything the checker needs to run and serve on 127.0.0.1, and no
// other socket: an address it is asked to fetch (or to look up) is refused.
const char policyText[] = R"(grant {
  permission java.io.FilePermission "<<ALL FILES>>", "read,write,delete";
  permission java.lang.RuntimePermission "*";
  permission java.util.PropertyPermission "*", "read,write";
  permission java.lang.reflect.ReflectPermission "*";
  permission java.net.NetPermission "*";
  permission java.security.SecurityPermission "*";
  permission java.util.logging.LoggingPermission "control";
  permission java.lang.management.ManagementPermission "monitor";
  permission javax.management.MBeanServerPermission "*";
  permission javax.management.MBeanPermission "*", "*";
  permission javax.management.MBeanTrustPermission "*";
  permission java.net.SocketPermission "127.0.0.1:1-", "listen,accept,connect,resolve";
  permission java.net.SocketPermission "localhost:1-", "listen,resolve";
};
)";

} // namespace

NuChecker::NuChecker(QObject *parent) : QObject(parent), m_jar(defaultJar())
{
    m_startTimer = new QTimer(this);
    m_startTimer->setSingleShot(true);
    connect(m_startTimer, &QTimer::timeout, this, [this] {
        onExit(tr("The checker did not start within %1 seconds.").arg(m_startMs / 1000));
    });
}

NuChecker::~NuChecker() { stopProcess(); }

QString NuChecker::defaultJar()
{
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tagloom-html/vnu.jar");
    if (QFileInfo::exists(installed))
        return QFileInfo(installed).canonicalFilePath();
    return QStringLiteral(TAGLOOM_VNU_JAR);
}

void NuChecker::setTimeouts(int startMs, int answerMs)
{
    m_startMs = startMs;
    m_answerMs = answerMs;
}

bool NuChecker::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

qint64 NuChecker::processId() const { return m_process ? m_process->processId() : 0; }

QByteArray NuChecker::packPage(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() > qsizetype(1) << 30)
        return {}; // far beyond what the checker takes; zlib counts in 32 bits
    z_stream z{};
    // 15 + 16: a gzip header, which the checker's service understands;
    // level 1: pages compress well even so, and quickly.
    if (deflateInit2(&z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(utf8.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(utf8.constData()));
    z.avail_in = uInt(utf8.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int done = deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return done == Z_STREAM_END ? out : QByteArray();
}

void NuChecker::check(const QByteArray &utf8Page, bool packed)
{
    const bool busy = m_hasPage;
    m_packed = packed;
    m_page = utf8Page;
    m_hasPage = true;
    m_retried = false;
    if (busy && m_reply)
        return; // the answer in flight is passed over when it comes; see send()
    if (m_ready)
        send();
    else if (!m_process)
        start();
}

void NuChecker::start()
{
    const QString java =
        m_java.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("java")) : m_java;
    if (java.isEmpty() || !QFileInfo(java).isExecutable()) {
        finish({NuCheckResult::NoJava, {}, tr("No Java runtime was found. %1").arg(installHint)});
        return;
    }
    if (!QFileInfo::exists(m_jar)) {
        finish({NuCheckResult::NoChecker, {}, tr("The checker (%1) is missing.").arg(m_jar)});
        return;
    }
    if (m_lost) {
        m_lost = false;
        emit restarted(tr("The checker had stopped; it was started again."));
    }
    if (!m_policy) {
        m_policy = new QTemporaryFile(this);
        if (!m_policy->open() || m_policy->write(policyText) != qint64(sizeof policyText - 1)
            || !m_policy->flush()) {
            delete std::exchange(m_policy, nullptr);
            finish({NuCheckResult::Failed, {}, tr("The checker's settings could not be written.")});
            return;
        }
    }
    m_port = freePort();
    m_ready = false;
    m_output.clear();
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // Bound to 127.0.0.1 only, and allowed no other socket (see the policy).
    // No perf data file, and the small collector: one page at a time. Its
    // schemas recurse deeply as they load: a thread's default stack can
    // overflow. Pages up to 64 MiB (its own limit is far below what the
    // editor opens).
    m_process->setArguments(
        {QStringLiteral("-XX:-UsePerfData"), QStringLiteral("-XX:+UseSerialGC"),
         QStringLiteral("-Xss8m"), QStringLiteral("-Dnu.validator.servlet.max-file-size=67108864"),
         QStringLiteral("-Dnu.validator.servlet.bind-address=127.0.0.1"),
         QStringLiteral("-Djava.security.manager"),
         QStringLiteral("-Djava.security.policy==") + m_policy->fileName(), QStringLiteral("-cp"),
         m_jar, QStringLiteral("nu.validator.servlet.Main"), QString::number(m_port)});
    m_process->setProgram(java);
    // The checker goes with the editor, even one that crashed: a JVM left
    // behind would hold its memory and port for good.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    QProcess *process = m_process;
    connect(process, &QProcess::readyReadStandardOutput, this, &NuChecker::onOutput);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart || process != m_process)
            return;
        process->deleteLater();
        m_process = nullptr;
        m_startTimer->stop();
        finish({NuCheckResult::NoJava,
                {},
                tr("Java could not be started (%1). %2").arg(process->errorString(), installHint)});
    });
    connect(process, &QProcess::finished, this, [this, process] {
        if (process == m_process)
            onExit(tr("The checker stopped (exit status %1).").arg(process->exitCode()));
    });
    m_startTimer->start(m_startMs);
    m_process->start();
}

void NuChecker::onOutput()
{
    if (!m_process)
        return;
    const QByteArray chunk = m_process->readAllStandardOutput();
    if (m_ready)
        return; // its log, of no use here
    m_output += chunk;
    if (!m_output.contains(readyLine)) {
        // Keep only a tail long enough to hold the ready line split across reads.
        if (m_output.size() > 4096)
            m_output = m_output.right(256);
        return;
    }
    m_output.clear();
    m_ready = true;
    m_startTimer->stop();
    if (m_hasPage)
        send();
}

void NuChecker::send()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/?out=json").arg(m_port)));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("text/html; charset=utf-8"));
    if (m_packed)
        request.setRawHeader("Content-Encoding", "gzip");
    request.setTransferTimeout(m_answerMs);
    const QByteArray page = m_page;
    QNetworkReply *reply = m_network->post(request, page);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, page] {
        reply->deleteLater();
        if (reply != m_reply)
            return;
        m_reply = nullptr;
        if (page != m_page) { // a newer page came meanwhile
            send();
            return;
        }
        QList<NuMessage> messages;
        QString failure;
        if (reply->error() == QNetworkReply::NoError
            && parseResults(reply->readAll(), &messages, &failure)) {
            if (failure.isEmpty())
                finish({NuCheckResult::Checked, messages, {}});
            else // it could not read the page: a new checker would do no better
                finish({NuCheckResult::Failed, {}, tr("The checker failed: %1").arg(failure)});
            return;
        }
        // Hung, or it died as it answered: a new checker takes the page.
        const QString why =
            reply->error() == QNetworkReply::OperationCanceledError
                ? tr("The checker did not answer within %1 seconds.").arg(m_answerMs / 1000)
                : tr("The checker failed: %1").arg(reply->errorString());
        onExit(why);
    });
}

void NuChecker::onExit(const QString &why)
{
    stopProcess();
    if (!m_hasPage) {
        m_lost = true;
        return;
    }
    if (m_retried) {
        finish({NuCheckResult::Failed, {}, why});
        return;
    }
    m_retried = true;
    emit restarted(why);
    start();
}

void NuChecker::finish(const NuCheckResult &result)
{
    m_hasPage = false;
    m_page.clear();
    emit finished(result);
}

void NuChecker::stopProcess()
{
    m_startTimer->stop();
    m_ready = false;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    if (!m_process)
        return;
    QProcess *process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(2000); // a killed process goes at once
    }
    process->deleteLater();
}

bool NuChecker::parseResults(const QByteArray &json, QList<NuMessage> *messages, QString *failure)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()
        || !doc.object().value(QLatin1String("messages")).isArray())
        return false;
    messages->clear();
    for (const QJsonValue &v : doc.object().value(QLatin1String("messages")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString type = o.value(QLatin1String("type")).toString();
        if (type == QLatin1String("non-document-error")) {
            if (failure)
                *failure = o.value(QLatin1String("message")).toString();
            continue;
        }
        NuMessage m;
        if (type == QLatin1String("info"))
            m.severity = o.value(QLatin1String("subType")).toString() == QLatin1String("warning")
                             ? NuMessage::Warning
                             : NuMessage::Info;
        m.lastLine = o.value(QLatin1String("lastLine")).toInt();
        m.lastColumn = o.value(QLatin1String("lastColumn")).toInt();
        m.line = o.value(QLatin1String("firstLine")).toInt(m.lastLine);
        m.column = o.value(QLatin1String("firstColumn")).toInt(m.lastColumn);
        m.text = o.value(QLatin1String("message")).toString();
        messages->append(m);
    }
    return true;
}
