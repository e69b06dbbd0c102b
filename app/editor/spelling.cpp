#include "spelling.h"
#include "backgroundjob.h"
#include "diskfile.h"
#include "errors.h"
#include "freememory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <hunspell.hxx>

#include <cerrno>
#include <unistd.h>

// ---------------------------------------------------------------- dictionary

namespace {
// Verdicts kept per dictionary; past this many the list starts again, so a
// page of random words cannot grow it without end.
constexpr qsizetype kMaxKnown = 200000;
} // namespace

SpellDictionary::SpellDictionary(const QString &affPath, const QString &dicPath) {
    // Plain files only: a named pipe would hold the loading thread, and the
    // editor waiting for it, for good.
    for (const QString &path : {affPath, dicPath}) {
        const int fd = openPlainFile(path);
        if (fd < 0)
            return;
        ::close(fd);
    }
    m_speller = std::make_unique<Hunspell>(QFile::encodeName(affPath).constData(),
                                           QFile::encodeName(dicPath).constData());
    // The .aff file's SET line: the dictionary takes and gives words in it.
    const QByteArray name = QByteArray::fromStdString(m_speller->get_dict_encoding()).trimmed();
    const QByteArray upper = name.toUpper();
    if (upper == "UTF-8" || upper == "UTF8") {
        m_encoding = Encoding::Utf8;
    } else if (upper == "ISO8859-1" || upper == "ISO-8859-1" || upper == "LATIN1") {
        m_encoding = Encoding::Latin1;
    } else {
        // "ISO8859-15" is "ISO-8859-15" to the converters that know it.
        QByteArray dashed = name;
        if (upper.startsWith("ISO8859"))
            dashed.insert(3, '-');
        if (QStringEncoder(dashed.constData()).isValid() &&
            QStringDecoder(dashed.constData()).isValid()) {
            m_encoding = Encoding::Named;
            m_encodingName = dashed;
        } else {
            m_encoding = Encoding::AsciiOnly;
        }
    }
}

SpellDictionary::~SpellDictionary() = default;

std::optional<std::string> SpellDictionary::encode(const QString &word) const {
    switch (m_encoding) {
    case Encoding::Utf8:
        return word.toUtf8().toStdString();
    case Encoding::Latin1:
        for (const QChar c : word)
            if (c.unicode() > 0xFF)
                return std::nullopt;
        return word.toLatin1().toStdString();
    case Encoding::Named: {
        QStringEncoder encoder(m_encodingName.constData());
        const QByteArray bytes = encoder.encode(word);
        if (encoder.hasError())
            return std::nullopt;
        return bytes.toStdString();
    }
    case Encoding::AsciiOnly:
        break;
    }
    for (const QChar c : word)
        if (c.unicode() > 0x7F)
            return std::nullopt;
    return word.toLatin1().toStdString();
}

QString SpellDictionary::decode(const std::string &bytes) const {
    const QByteArray b = QByteArray::fromStdString(bytes);
    switch (m_encoding) {
    case Encoding::Utf8:
        return QString::fromUtf8(b);
    case Encoding::Named:
        return QStringDecoder(m_encodingName.constData()).decode(b);
    default:
        return QString::fromLatin1(b);
    }
}

bool SpellDictionary::isCorrect(const QString &word) {
    if (!m_speller)
        return true;
    const auto it = m_known.constFind(word);
    if (it != m_known.constEnd())
        return *it;
    const std::optional<std::string> bytes = encode(word);
    const bool right = !bytes || m_speller->spell(*bytes);
    if (m_known.size() >= kMaxKnown)
        m_known.clear();
    m_known.insert(word, right);
    return right;
}

QStringList SpellDictionary::suggestions(const QString &word, int max) {
    QStringList out;
    const std::optional<std::string> bytes = encode(word);
    if (!m_speller || !bytes)
        return out;
    for (const std::string &s : m_speller->suggest(*bytes)) {
        if (out.size() >= max)
            break;
        out << decode(s);
    }
    return out;
}

void SpellDictionary::add(const QString &word) {
    m_known.remove(word);
    if (const std::optional<std::string> bytes = encode(word); m_speller && bytes)
        m_speller->add(*bytes);
}

// ---------------------------------------------------------------- service

namespace {
QStringList g_searchPath;
bool g_searchPathSet = false;
QPointer<Spelling> g_instance;
} // namespace

Spelling *Spelling::instance() {
    if (!g_instance)
        g_instance = new Spelling(QCoreApplication::instance());
    return g_instance;
}

Spelling::Spelling(QObject *parent) : QObject(parent), m_loads(new BackgroundJobs(this)) {}

Spelling::~Spelling() = default;

QStringList Spelling::searchPath() {
    if (g_searchPathSet)
        return g_searchPath;
    const QString env = qEnvironmentVariable("TAGLOOM_DICTIONARY_PATH");
    if (!env.isEmpty())
        return env.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return {QStringLiteral("/usr/share/hunspell"), QStringLiteral("/usr/share/myspell"),
            QStringLiteral("/usr/share/myspell/dicts")};
}

void Spelling::setSearchPath(const QStringList &folders) {
    g_searchPath = folders;
    g_searchPathSet = true;
    if (!g_instance)
        return;
    Spelling *s = g_instance;
    s->m_loads->dropAll(); // loads from the old folders are passed over
    s->m_loading.clear();
    s->m_dictionaries.clear();
    s->m_installedRead = false;
    s->m_personal.clear();
    s->m_personalRead = false;
    s->bump();
}

QStringList Spelling::installed() {
    if (m_installedRead)
        return m_installed;
    m_installedRead = true;
    m_installed.clear();
    m_paths.clear();
    for (const QString &folder : searchPath()) {
        const QDir dir(folder);
        for (const QFileInfo &aff : dir.entryInfoList({QStringLiteral("*.aff")}, QDir::Files)) {
            const QString name = aff.completeBaseName();
            const QString base = dir.filePath(name);
            if (m_paths.contains(name) || !QFileInfo::exists(base + QStringLiteral(".dic")))
                continue;
            m_paths.insert(name, base);
            m_installed << name;
        }
    }
    m_installed.sort();
    return m_installed;
}

QString Spelling::resolve(const QString &language) {
    const QStringList names = installed();
    QString tag = language.trimmed();
    tag.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QStringList parts = tag.split(QLatin1Char('_'));
    const QString lang = parts.value(0).toLower();
    if (lang.isEmpty())
        return QString();
    const QString region = parts.size() > 1 ? parts.value(1).toUpper() : QString();
    QStringList wanted;
    if (!region.isEmpty())
        wanted << lang + QLatin1Char('_') + region;
    wanted << lang << lang + QLatin1Char('_') + lang.toUpper();
    for (const QString &w : wanted)
        for (const QString &n : names)
            if (n.compare(w, Qt::CaseInsensitive) == 0)
                return n;
    for (const QString &n : names)
        if (n.startsWith(lang + QLatin1Char('_'), Qt::CaseInsensitive))
            return n;
    return QString();
}

QString Spelling::systemLanguage() {
    const QString name = QLocale::system().name();
    return name == QLatin1String("C") || name == QLatin1String("POSIX") ? QStringLiteral("en_US")
                                                                        : name;
}

void Spelling::setEnabled(bool on) {
    if (on == m_enabled)
        return;
    m_enabled = on;
    bump();
}

void Spelling::setChosen(const QString &name) {
    if (name == m_chosen)
        return;
    m_chosen = name;
    bump();
}

void Spelling::bump() {
    ++m_generation;
    emit changed();
}

SpellDictionary *Spelling::dictionary(const QString &name, bool wait) {
    if (const auto it = m_dictionaries.constFind(name); it != m_dictionaries.constEnd())
        return it->get();
    if (name.isEmpty() || !installed().contains(name))
        return nullptr;
    if (!wait) {
        startLoading(name);
        return nullptr;
    }
    // Loaded here and now; a load of it still running elsewhere is passed over.
    const QString base = m_paths.value(name);
    adopt(name, std::make_unique<SpellDictionary>(base + QStringLiteral(".aff"),
                                                  base + QStringLiteral(".dic")));
    return m_dictionaries.value(name).get();
}

void Spelling::startLoading(const QString &name) {
    if (m_loading.contains(name))
        return;
    m_loading.insert(name);
    const QString base = m_paths.value(name);
    m_loads->run(
        [base](JobControl &) {
            return std::make_unique<SpellDictionary>(base + QStringLiteral(".aff"),
                                                     base + QStringLiteral(".dic"));
        },
        [this, name](std::unique_ptr<SpellDictionary> dictionary) {
            m_loading.remove(name);
            if (!m_dictionaries.contains(name)) // not loaded meanwhile with wait
                adopt(name, std::move(dictionary));
        });
}

void Spelling::adopt(const QString &name, std::unique_ptr<SpellDictionary> dictionary) {
    loadPersonal();
    if (dictionary && dictionary->isValid()) {
        for (const QString &w : std::as_const(m_personal))
            dictionary->add(w);
        m_dictionaries.insert(name, std::shared_ptr<SpellDictionary>(std::move(dictionary)));
    } else {
        m_dictionaries.insert(name, nullptr); // unreadable: not tried again
    }
    returnFreedMemorySoon(); // what the loading thread's heap kept
    bump();
}

bool Spelling::isCorrect(SpellDictionary *dictionary, const QString &word) {
    if (!dictionary || m_ignored.contains(word) || m_personal.contains(word))
        return true;
    return dictionary->isCorrect(word);
}

QString Spelling::personalWordsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/personal-words.txt");
}

namespace {
// A word list is a few KB; a file far larger is not ours to read whole.
constexpr qint64 kMaxPersonalBytes = 4 * 1024 * 1024;
} // namespace

void Spelling::loadPersonal() {
    if (m_personalRead)
        return;
    m_personalRead = true;
    // A list that cannot be read (none yet, or no plain file) holds no words.
    QByteArray bytes;
    if (readPlainFile(personalWordsPath(), kMaxPersonalBytes, bytes) != 0)
        return;
    for (const QByteArray &line : bytes.split('\n')) {
        const QString w = QString::fromUtf8(line).trimmed();
        if (!w.isEmpty() && w.size() <= 256)
            m_personal.insert(w);
    }
}

void Spelling::addToPersonal(const QString &word) {
    loadPersonal();
    if (word.isEmpty() || m_personal.contains(word))
        return;
    // The list as it stands now, with the word on a line of its own after
    // it, written whole or not at all; it is known only once it is kept.
    const QString path = personalWordsPath();
    QByteArray bytes;
    const int read = readPlainFile(path, kMaxPersonalBytes, bytes);
    if (read != 0 && read != ENOENT)
        throw TagloomError(Errors::cannotOpen(path));
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    bytes += word.toUtf8() + '\n';
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (const int e = tryWriteFileAtomically(path, bytes))
        throw TagloomError(Errors::cannotCreate(path, e));
    m_personal.insert(word);
    for (const auto &d : std::as_const(m_dictionaries))
        if (d)
            d->add(word);
    bump();
}

void Spelling::ignore(const QString &word) {
    if (word.isEmpty() || m_ignored.contains(word))
        return;
    m_ignored.insert(word);
    bump();
}
