#include "settingsfile.h"
#include "diskfile.h"
#include "editormarks.h"
#include "textreader.h"
#include "errors.h"

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
const ColourName kNames[kColourNameCount] = {
    {"red", 0x0000FF},   {"white", 0xFFFFFF}, {"blue", 0xFF0000},
    {"black", 0x000000}, {"green", 0x008000}, {"yellow", 0x00FFFF},
};

const QString kBack = QStringLiteral("background color=");
const QString kText = QStringLiteral("text color=");
const QString kToolbarRead = QStringLiteral("toolbar={");
const QString kToolbarWrite = QStringLiteral("toolbar=");

bool lastNamedColour(const QString &line, ColourValue &out)
{
    bool found = false;
    for (const ColourName &c : kNames) {
        if (line.contains(QLatin1String(c.name))) {
            out = c.value;
            found = true;
        }
    }
    return found;
}

// Delphi-style Copy(s, index, count): 1-based, a count of zero or less is empty.
QString copyText(const QString &s, int index1, int count)
{
    if (count <= 0 || index1 < 1 || index1 > s.size())
        return {};
    return s.mid(index1 - 1, count);
}

QString toolbarLine(int top, int left)
{
    return QStringLiteral("toolbar={%1,%2}").arg(top).arg(left);
}

// W carries over: a colour that is not in the table keeps the last name.
void nameOf(ColourValue v, QString &w)
{
    for (const ColourName &c : kNames)
        if (c.value == v) {
            w = QLatin1String(c.name);
            return;
        }
}
} // namespace

const ColourName *colourNames() { return kNames; }

QString settingsTooLarge()
{
    return QStringLiteral("%1 is too large for a settings file (more than %2 MB)")
        .arg(kSettingsFileName)
        .arg(kMaxSettingsBytes / (1024 * 1024));
}

QColor colourToQColor(ColourValue v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

ColourValue colourFromQColor(const QColor &c)
{
    return ColourValue(c.red()) | (ColourValue(c.green()) << 8) | (ColourValue(c.blue()) << 16);
}

QStringList settingsLines(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

void parseSettings(const QStringList &lines, Preferences &prefs)
{
    for (const QString &line : lines) {
        if (line.contains(kBack) && lastNamedColour(line, prefs.backColor))
            prefs.backColorSet = true;
        if (line.contains(kText))
            lastNamedColour(line, prefs.textColor);
        const int p = int(line.indexOf(kToolbarRead)) + 1;
        if (p > 0) {
            const int c = int(line.indexOf(QLatin1Char(','))) + 1;
            const int b = int(line.indexOf(QLatin1Char('}'))) + 1;
            prefs.toolbarTop = parseInteger(copyText(line, p + 9, c - p - 9));
            prefs.toolbarLeft = parseInteger(copyText(line, c + 1, b - c - 1));
        }
    }
}

void rewriteSettings(QStringList &lines, ColourValue textColor, ColourValue backColor,
                     int paletteTop, int paletteLeft)
{
    QString w;
    bool haveText = false, haveBack = false, haveToolbar = false;
    for (QString &line : lines) {
        if (line.contains(kText)) {
            nameOf(textColor, w);
            line = kText + w;
            haveText = true;
        }
        if (line.contains(kBack)) {
            nameOf(backColor, w);
            line = kBack + w;
            haveBack = true;
        }
        if (line.contains(kToolbarWrite)) {
            line = toolbarLine(paletteTop, paletteLeft);
            haveToolbar = true;
        }
    }
    if (!haveText) {
        nameOf(textColor, w);
        lines << kText + w;
    }
    if (!haveBack) {
        nameOf(backColor, w);
        lines << kBack + w;
    }
    if (!haveToolbar)
        lines << toolbarLine(paletteTop, paletteLeft);
}

QByteArray settingsFileBytes(const QStringList &lines, TextEncoding encoding)
{
    return encodeText(joinSettingsLines(lines), encoding);
}

QString joinSettingsLines(const QStringList &lines)
{
    QString out;
    for (const QString &l : lines) {
        out += l;
        out += QStringLiteral("\r\n");
    }
    return out;
}

namespace {
QString g_installedSettings; // set by tests; empty: next to the program
}

QString installedSettingsPath()
{
    if (!g_installedSettings.isEmpty())
        return g_installedSettings;
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QStringLiteral("/../share/tagloom-html/") + kSettingsFileName);
}

void setInstalledSettingsPath(const QString &path) { g_installedSettings = path; }

QString settingsFileToRead()
{
    // An installed copy started where there is no settings file (from the
    // desktop menu, in the home folder) reads the default installed with it;
    // Save Settings still writes the file in the working directory.
    if (!QFileInfo::exists(kSettingsFileName) && QFileInfo::exists(installedSettingsPath()))
        return installedSettingsPath();
    return kSettingsFileName;
}

void SettingsFile::read(Preferences &prefs)
{
    const DecodedText file =
        readTextFile(settingsFileToRead(), kMaxSettingsBytes, settingsTooLarge());
    encoding = file.encoding;
    lines = settingsLines(file.text);
    parseSettings(lines, prefs);
}

void SettingsFile::save(ColourValue textColor, ColourValue backColor, int paletteTop,
                        int paletteLeft)
{
    rewriteSettings(lines, textColor, backColor, paletteTop, paletteLeft);
    writeFileAtomically(kSettingsFileName, settingsFileBytes(lines, encoding));
}
