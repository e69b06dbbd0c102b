#include "browsercopy.h"
#include "nativepath.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

QString withBaseHref(const QString &text, const QString &folderUrl)
{
    QString base = QStringLiteral("<BASE HREF=\"%1\">").arg(folderUrl.toHtmlEscaped());
    // A page's own comments and scripts are not read: only the first tag
    // that opens the head (or the page) counts.
    static const QRegularExpression head(QStringLiteral("<head(\\s[^>]*)?>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression html(QStringLiteral("<html(\\s[^>]*)?>"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (const QRegularExpression *re : {&head, &html}) {
        const QRegularExpressionMatch m = re->match(text);
        if (m.hasMatch()) {
            QString out = text;
            out.insert(m.capturedEnd(), base);
            return out;
        }
    }
    return base + text;
}

QString writeBrowserCopy(const QString &name, const QByteArray &bytes)
{
    // One folder for the program's life; QTemporaryDir removes it at exit.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tagloom-preview-XXXXXX"));
    if (!dir.isValid())
        return {};
    static int serial = 0;
    // A new name each time: a browser still showing the last copy keeps it.
    // The name shown, not kept byte for byte: the browser is handed it as a
    // URL, and any name will do for a copy.
    const QString path = dir.filePath(QStringLiteral("%1-%2").arg(++serial).arg(shownPath(name)));
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        return {};
    return path;
}
