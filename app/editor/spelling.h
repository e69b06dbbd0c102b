#pragma once
// Spelling dictionaries (Hunspell's .aff and .dic pairs) and what the user
// has told the check: on or off, the language chosen, the personal word
// list and the words ignored in this session. One Spelling object serves
// every document, and each dictionary is loaded once, on another thread
// (en_US takes about 100 ms), when a page first needs it.
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

class Hunspell;
class BackgroundJobs;

class SpellDictionary {
public:
    // Slow: reads both files whole. isValid() says whether it worked.
    SpellDictionary(const QString &affPath, const QString &dicPath);
    ~SpellDictionary();
    bool isValid() const { return m_speller != nullptr; }
    // A word the dictionary's character set cannot hold is taken as right:
    // nothing can be said of it.
    bool isCorrect(const QString &word);
    QStringList suggestions(const QString &word, int max);
    // Known from now on, in its case forms too (the personal word list).
    void add(const QString &word);

private:
    std::optional<std::string> encode(const QString &word) const;
    QString decode(const std::string &bytes) const;

    std::unique_ptr<Hunspell> m_speller;
    enum class Encoding { Utf8, Latin1, Named, AsciiOnly } m_encoding = Encoding::Utf8;
    QByteArray m_encodingName;
    QHash<QString, bool> m_known; // verdicts so far: words repeat on a page
};

class Spelling : public QObject {
    Q_OBJECT
public:
    static Spelling *instance();

    // The folders searched for dictionaries: TAGLOOM_DICTIONARY_PATH
    // (folders separated by ':') when set, else the system's.
    static QStringList searchPath();
    // Tests: another path; dictionaries loaded so far and the personal word
    // list read are forgotten.
    static void setSearchPath(const QStringList &folders);
    // Installed dictionaries by name ("en_US", "fr"), sorted.
    QStringList installed();
    // The installed dictionary for a language tag or locale name ("en",
    // "en-GB", "de_DE"), empty when there is none.
    QString resolve(const QString &language);
    // The system locale's language ("C" counts as American English).
    static QString systemLanguage();

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool on);
    // The language picked in the menu; empty: the system's.
    QString chosen() const { return m_chosen; }
    void setChosen(const QString &name);

    // The dictionary of that name, or nullptr while it loads (changed()
    // follows) or when it could not be loaded. wait: loads it now.
    SpellDictionary *dictionary(const QString &name, bool wait = false);
    bool isCorrect(SpellDictionary *dictionary, const QString &word);

    // The personal word list: one word a line, UTF-8, in the user's data folder.
    static QString personalWordsPath();
    // Known from now on once the list keeps it; throws TagloomError when the
    // list cannot be read or written (the word stays unknown).
    void addToPersonal(const QString &word);
    void ignore(const QString &word); // for this session

    // Bumped whenever a verdict may have changed (a dictionary loaded, a
    // word added or ignored, a setting changed).
    int generation() const { return m_generation; }

signals:
    void changed();
    // A word could not be added to the personal list: the message to show.
    void personalListFailed(const QString &message);

private:
    explicit Spelling(QObject *parent);
    ~Spelling() override;
    void startLoading(const QString &name);
    void adopt(const QString &name, std::unique_ptr<SpellDictionary> dictionary);
    void loadPersonal();
    void bump();

    bool m_enabled = true;
    QString m_chosen;
    QStringList m_installed;
    bool m_installedRead = false;
    QHash<QString, QString> m_paths; // name -> path without extension
    QHash<QString, std::shared_ptr<SpellDictionary>> m_dictionaries; // null: failed
    BackgroundJobs *m_loads; // one job a dictionary being loaded
    QSet<QString> m_loading;
    QSet<QString> m_personal;
    bool m_personalRead = false;
    QSet<QString> m_ignored;
    int m_generation = 1;
};
