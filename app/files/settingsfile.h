#pragma once
// The preferences file "vezezu.ini": reading its three kinds of line and
// rewriting them, every other line kept in place.
#include "charset.h"

#include <QColor>
#include <QString>
#include <QStringList>

// A colour value as stored: 0x00BBGGRR (red in the lowest byte).
using ColourValue = quint32;

struct ColourName {
    const char *name; // lower case, as in the file
    ColourValue value;
};
// In the order the reader tries them: red, white, blue, black, green, yellow.
const ColourName *colourNames();
constexpr int kColourNameCount = 6;

QColor colourToQColor(ColourValue v);
ColourValue colourFromQColor(const QColor &c);

struct Preferences {
    int toolbarTop = 0;
    int toolbarLeft = 0;
    ColourValue backColor = 0;
    ColourValue textColor = 0;
    bool backColorSet = false; // whether a line named a background colour
};

inline const QString kSettingsFileName = QStringLiteral("vezezu.ini");
// The file holds three short lines; one larger than this is refused before
// it is read, so a stray huge file cannot exhaust memory at start.
constexpr qint64 kMaxSettingsBytes = qint64(1024) * 1024;
// "vezezu.ini is too large for a settings file (more than 1 MB)"
QString settingsTooLarge();

// Splits the file's text into lines (CR LF, lone CR or lone LF); an empty
// last line after the final break does not count.
QStringList settingsLines(const QString &text);

// Parses the lines into prefs. A bad toolbar number throws TagloomError with
// the integer message; what earlier lines gave stays in prefs.
void parseSettings(const QStringList &lines, Preferences &prefs);

// Save Settings: rewrites the recognised lines in place and appends the
// ones missing, so a choice is never silently dropped.
void rewriteSettings(QStringList &lines, ColourValue textColor, ColourValue backColor,
                     int paletteTop, int paletteLeft);

QString joinSettingsLines(const QStringList &lines);
// The bytes Save Settings writes: the lines in the encoding the file was
// read in, so lines it does not recognise keep their bytes.
QByteArray settingsFileBytes(const QStringList &lines, TextEncoding encoding);

// The settings file as read at start, kept so that Save Settings rewrites
// its lines in the same encoding.
struct SettingsFile {
    QStringList lines;
    TextEncoding encoding = TextEncoding::Utf8;

    // Reads settingsFileToRead() into prefs. Throws TagloomError when the
    // file cannot be read or a line is bad; what came before stays.
    void read(Preferences &prefs);
    // Save Settings: always the working directory's file.
    void save(ColourValue textColor, ColourValue backColor, int paletteTop, int paletteLeft);
};

// The default settings file installed with the program, and the file read
// at start: the working directory's, else that default.
QString installedSettingsPath();
QString settingsFileToRead();
void setInstalledSettingsPath(const QString &path); // tests; empty: default
