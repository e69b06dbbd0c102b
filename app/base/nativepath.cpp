#include "nativepath.h"

#include <QUrl>

#include <cerrno>
#include <unistd.h>

namespace {
constexpr char16_t kKeptByte = 0xDC00;

// The length of the well-formed UTF-8 sequence at p (at most n bytes left),
// or 0 when the byte there does not start one: no overlong forms, no
// surrogates, nothing past U+10FFFF, no cut-off ending.
int sequenceLength(const uchar *p, qsizetype n, char32_t &code)
{
    const uchar b = p[0];
    if (b < 0x80) {
        code = b;
        return 1;
    }
    int len;
    uchar lo = 0x80, hi = 0xBF; // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        code = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        code = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        code = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    return len;
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool isKeptByte(char16_t u) { return u >= kKeptByte + 0x80 && u <= kKeptByte + 0xFF; }
} // namespace

QString pathFromNative(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        char32_t code = 0;
        const int len = sequenceLength(p + i, n - i, code);
        if (len == 0) {
            out += QChar(char16_t(kKeptByte + p[i]));
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            out += QChar(QChar::highSurrogate(code));
            out += QChar(QChar::lowSurrogate(code));
        } else {
            out += QChar(char16_t(code));
        }
        i += len;
    }
    return out;
}

QByteArray nativePath(const QString &path)
{
    QByteArray out;
    out.reserve(path.size());
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && path.at(i + 1).isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(u, path.at(i + 1).unicode()));
            ++i;
        } else if (isKeptByte(u)) {
            out += char(u - kKeptByte);
        } else if (QChar::isSurrogate(u)) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

QString localPathOfUrl(const QUrl &url)
{
    if (!url.isLocalFile())
        return {};
    // The encoded form keeps every byte that is not UTF-8 as %XX.
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    const QString path = pathFromNative(bytes);
    const QString host = url.host();
    return host.isEmpty() ? path : QStringLiteral("//") + host + path;
}

QUrl urlOfLocalPath(const QString &path)
{
    // Parsed whole, with its empty host: a path starting "//" set alone
    // would make the URL invalid.
    return QUrl(QStringLiteral("file://")
                + QString::fromLatin1(nativePath(path).toPercentEncoding("/")));
}

QString currentFolderPath()
{
    QByteArray buf(4096, Qt::Uninitialized);
    while (!::getcwd(buf.data(), size_t(buf.size()))) {
        if (errno != ERANGE || buf.size() > (1 << 20))
            return {};
        buf.resize(buf.size() * 2);
    }
    buf.truncate(qsizetype(qstrlen(buf.constData())));
    return pathFromNative(buf);
}

QString shownPath(const QString &path)
{
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out.at(i).isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate())
            ++i; // a pair, whatever its second half
        else if (isKeptByte(out.at(i).unicode()))
            out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}
