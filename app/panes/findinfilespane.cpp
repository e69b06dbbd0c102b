#include "findinfilespane.h"
#include "keyboardreturn.h"
#include "replacefilesdialog.h"
#include "userstate.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr char kPatternsKey[] = "FindInFiles/OtherFiles";
constexpr char kCaseKey[] = "FindInFiles/MatchCase";
constexpr char kWordsKey[] = "FindInFiles/WholeWords";
constexpr char kRegexKey[] = "FindInFiles/Regex";
// How much of a line a row shows before its match.
constexpr qsizetype kLead = 40;
constexpr qsizetype kShown = 200;

enum Role { PathRole = Qt::UserRole, LineRole, ColumnRole, LengthRole };

QString rowText(const QString &line, qsizetype column)
{
    QString shown = line;
    qsizetype from = 0;
    if (column > kLead)
        from = column - kLead;
    shown = line.mid(from, kShown);
    // Leading indentation says nothing here.
    shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return (from > 0 ? QStringLiteral("\u2026") : QString()) + shown.trimmed();
}

QCheckBox *option(const QString &caption, const char *name, const char *key, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(UserState::value(key, false).toBool());
    return box;
}
} // namespace

FindInFilesPane::FindInFilesPane(QWidget *parent)
    : QDockWidget(QStringLiteral("Find in Files"), parent), m_jobs(new BackgroundJobs(this)),
      m_poll(new QTimer(this))
{
    setObjectName(QStringLiteral("FindInFiles"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *grid = new QGridLayout;
    auto field = [&](const QString &caption, const char *name, int row, int col) {
        auto *edit = new QLineEdit(body);
        edit->setObjectName(QLatin1String(name));
        auto *label = new QLabel(caption, body);
        label->setBuddy(edit);
        grid->addWidget(label, row, col);
        grid->addWidget(edit, row, col + 1);
        return edit;
    };
    m_find = field(QStringLiteral("Fi&nd:"), "FindInFilesText", 0, 0);
    m_replace = field(QStringLiteral("Re&place with:"), "FindInFilesReplace", 0, 2);
    m_patterns = field(QStringLiteral("&Other files:"), "FindInFilesPatterns", 1, 0);
    m_patterns->setPlaceholderText(QStringLiteral("*.css;*.js"));
    m_patterns->setToolTip(QStringLiteral("Pages (*.htm, *.html, *.shtml, *.xhtml, *.php) are "
                                          "always searched; name other files here."));
    m_patterns->setText(UserState::value(kPatternsKey).toString());
    auto *options = new QHBoxLayout;
    m_case = option(QStringLiteral("Match &case"), "FindInFilesCase", kCaseKey, body);
    m_words = option(QStringLiteral("&Whole words"), "FindInFilesWords", kWordsKey, body);
    m_regex = option(QStringLiteral("Regular e&xpression"), "FindInFilesRegex", kRegexKey, body);
    options->addWidget(m_case);
    options->addWidget(m_words);
    options->addWidget(m_regex);
    options->addStretch(1);
    grid->addLayout(options, 1, 2, 1, 2);
    layout->addLayout(grid);

    auto *row = new QHBoxLayout;
    m_summary = new QLabel(body);
    m_summary->setObjectName(QStringLiteral("FindInFilesSummary"));
    m_summary->setAccessibleName(QStringLiteral("Search summary"));
    m_summary->setFocusPolicy(Qt::TabFocus);
    auto button = [&](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, body);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    row->addWidget(m_summary, 1);
    m_findBut = button(QStringLiteral("&Find"), "FindInFilesFind");
    m_replaceBut = button(QStringLiteral("Replace &All..."), "FindInFilesReplaceAll");
    m_cancel = button(QStringLiteral("Cancel"), "FindInFilesCancel");
    m_cancel->setEnabled(false);
    layout->addLayout(row);

    m_results = new QTreeWidget(body);
    m_results->setObjectName(QStringLiteral("FindInFilesResults"));
    m_results->setHeaderLabels({QStringLiteral("Line"), QStringLiteral("Text")});
    m_results->setUniformRowHeights(true);
    m_results->header()->setStretchLastSection(true);
    layout->addWidget(m_results, 1);
    setWidget(body);

    connect(m_findBut, &QPushButton::clicked, this, [this] { find(); });
    connect(m_find, &QLineEdit::returnPressed, this, [this] { find(); });
    connect(m_patterns, &QLineEdit::returnPressed, this, [this] { find(); });
    connect(m_replaceBut, &QPushButton::clicked, this, [this] { replaceAll(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });
    connect(m_results, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { choose(item); });
    // Found files are taken in batches, never one signal a match.
    m_poll->setInterval(50);
    connect(m_poll, &QTimer::timeout, this, [this] { takeFound(); });
}

void FindInFilesPane::showFor(const QString &text)
{
    show();
    raise();
    if (!text.isEmpty())
        m_find->setText(text);
    m_find->setFocus();
    m_find->selectAll();
}

std::optional<SiteSearchRequest> FindInFilesPane::request(bool replacing)
{
    SearchQuery query(m_find->text(), m_case->isChecked(), m_words->isChecked(),
                      m_regex->isChecked());
    if (!query.isUsable()) {
        setSummary(query.text().isEmpty()
                       ? QStringLiteral("Type what to find.")
                       : QStringLiteral("The pattern cannot be used: ") + query.error());
        return std::nullopt;
    }
    const QString folder = m_folderSource ? m_folderSource() : QString();
    if (folder.isEmpty()) {
        setSummary(QStringLiteral("No folder is open to search."));
        return std::nullopt;
    }
    saveOptions();
    SiteSearchRequest r;
    r.folder = folder;
    r.patterns = splitPatterns(m_patterns->text());
    r.query = query;
    r.replacing = replacing;
    r.replacement = m_replace->text();
    if (m_openTexts)
        r.open = m_openTexts();
    return r;
}

void FindInFilesPane::find()
{
    std::optional<SiteSearchRequest> r = request(false);
    if (!r)
        return;
    m_results->clear();
    m_matches = m_files = m_rows = m_unreadable = m_costly = 0;
    start(std::move(*r));
}

void FindInFilesPane::replaceAll()
{
    std::optional<SiteSearchRequest> r = request(true);
    if (!r)
        return;
    m_plan.clear();
    m_costly = 0;
    start(std::move(*r));
}

void FindInFilesPane::start(SiteSearchRequest r)
{
    if (m_job)
        m_jobs->drop(m_job);
    m_replacing = r.replacing;
    m_folder = r.folder;
    m_pending.clear();
    m_ending = false;
    auto box = std::make_shared<SiteSearchMailbox>();
    m_box = box;
    m_job = m_jobs->run([r = std::move(r), box](JobControl &c) { return searchSite(r, *box, c); },
                        [this](SearchStatus status) { ended(status); });
    m_cancel->setEnabled(true);
    m_poll->start();
    showSummary(working());
}

QString FindInFilesPane::working() const
{
    return m_replacing ? QStringLiteral("Working out the replacements")
                       : QStringLiteral("Searching");
}

void FindInFilesPane::cancel()
{
    if (!isSearching())
        return;
    if (m_job)
        m_jobs->drop(m_job);
    m_job.reset();
    m_ending = false;
    m_pending.clear();
    m_plan.clear();
    m_poll->stop();
    m_cancel->setEnabled(false);
    showSummary(QStringLiteral("Cancelled"));
}

void FindInFilesPane::takeFound()
{
    if (!m_box)
        return;
    {
        QMutexLocker hold(&m_box->lock);
        m_pending.append(std::move(m_box->files));
        m_box->files.clear();
    }
    if (m_replacing) {
        for (FileMatches &f : m_pending) {
            if (!f.matches.isEmpty() && !f.tooCostly && f.error.isEmpty())
                m_plan << std::move(f);
            else
                m_costly += f.tooCostly;
        }
        m_pending.clear();
    } else {
        // A bounded number of rows a turn: the editor answers keys while a
        // huge result comes in.
        constexpr int kRowsPerTurn = 1000;
        const int rowsBefore = m_rows;
        QList<QTreeWidgetItem *> files;
        qsizetype taken = 0;
        while (taken < m_pending.size() && m_rows - rowsBefore < kRowsPerTurn)
            if (QTreeWidgetItem *file = addFile(m_pending[taken++]))
                files << file;
        m_pending.remove(0, taken);
        m_results->addTopLevelItems(files);
        for (QTreeWidgetItem *file : std::as_const(files))
            file->setExpanded(true);
    }
    if (m_ending && m_pending.isEmpty())
        finish();
    else
        showSummary(working());
}

QTreeWidgetItem *FindInFilesPane::addFile(const FileMatches &f)
{
    if (!f.error.isEmpty()) {
        ++m_unreadable;
        return nullptr;
    }
    m_costly += f.tooCostly;
    if (f.matches.isEmpty())
        return nullptr;
    ++m_files;
    m_matches += int(f.matches.size());
    if (m_rows >= kMaxRows)
        return nullptr;
    auto *file =
        new QTreeWidgetItem({QString::number(f.matches.size()),
                             QDir::toNativeSeparators(QDir(m_folder).relativeFilePath(f.path))});
    file->setData(0, PathRole, f.path);
    file->setData(0, LineRole, f.matches[0].line);
    file->setData(0, ColumnRole, f.matches[0].column);
    file->setData(0, LengthRole, f.matches[0].length);
    QList<QTreeWidgetItem *> rows;
    for (const LineMatch &m : f.matches) {
        if (m_rows >= kMaxRows)
            break;
        ++m_rows;
        auto *item = new QTreeWidgetItem(
            {QString::number(m.line + 1), rowText(f.lineText.value(m.line), m.column)});
        item->setData(0, PathRole, f.path);
        item->setData(0, LineRole, m.line);
        item->setData(0, ColumnRole, m.column);
        item->setData(0, LengthRole, m.length);
        rows << item;
    }
    file->addChildren(rows);
    return file;
}

void FindInFilesPane::ended(SearchStatus status)
{
    m_job.reset();
    m_ending = true;
    m_status = status;
    takeFound();
}

void FindInFilesPane::finish()
{
    m_ending = false;
    m_poll->stop();
    m_cancel->setEnabled(false);
    const SearchStatus status = m_status;
    showSummary(status == SearchStatus::Cancelled ? QStringLiteral("Cancelled") : QString());
    if (m_replacing && status != SearchStatus::Cancelled) {
        QList<FileMatches> plan;
        plan.swap(m_plan);
        emit finished();
        if (plan.isEmpty()) {
            setSummary(m_costly ? QStringLiteral("The pattern is too costly to search %1 files: "
                                                 "nothing replaced.")
                                      .arg(m_costly)
                                : QStringLiteral("Nothing to replace."));
            return;
        }
        // Asked from the event loop, not from inside the worker's hand-over.
        QTimer::singleShot(0, this, [this, plan] { askReplace(plan); });
        return;
    }
    emit finished();
}

void FindInFilesPane::askReplace(const QList<FileMatches> &plan)
{
    KeyboardReturn back;
    ReplaceFilesDialog dialog(plan, m_folder, window());
    if (dialog.exec() != QDialog::Accepted) {
        setSummary(QStringLiteral("Nothing replaced."));
        return;
    }
    const QList<FileMatches> chosen = dialog.chosen();
    if (!chosen.isEmpty())
        emit replaceChosen(chosen);
}

void FindInFilesPane::showSummary(const QString &state)
{
    if (!m_box)
        return;
    int found, done, tooLarge;
    {
        QMutexLocker hold(&m_box->lock);
        found = m_box->filesFound;
        done = m_box->filesDone;
        tooLarge = m_box->tooLarge;
    }
    QStringList parts;
    if (m_replacing)
        parts << QStringLiteral("%1 files read").arg(done);
    else
        parts << QStringLiteral("%1 matches in %2 files").arg(m_matches).arg(m_files)
              << QStringLiteral("%1 of %2 files searched").arg(done).arg(found);
    if (m_rows >= kMaxRows && !m_replacing)
        parts << QStringLiteral("the first %1 listed").arg(kMaxRows);
    if (tooLarge)
        parts << QStringLiteral("%1 too large to read").arg(tooLarge);
    if (m_unreadable)
        parts << QStringLiteral("%1 could not be read").arg(m_unreadable);
    if (m_costly)
        parts << QStringLiteral("the pattern is too costly to search %1").arg(m_costly);
    QString text = parts.join(QStringLiteral(", "));
    if (!state.isEmpty())
        text = state + QStringLiteral(": ") + text;
    setSummary(text + QLatin1Char('.'));
}

void FindInFilesPane::setSummary(const QString &text) { m_summary->setText(text); }

QString FindInFilesPane::summary() const { return m_summary->text(); }

void FindInFilesPane::choose(QTreeWidgetItem *item)
{
    if (!item)
        return;
    emit placeChosen(item->data(0, PathRole).toString(), item->data(0, LineRole).toInt(),
                     item->data(0, ColumnRole).toLongLong(),
                     item->data(0, LengthRole).toLongLong());
}

void FindInFilesPane::saveOptions()
{
    // Written only when changed: each write rewrites the state file.
    const auto keep = [](const char *key, const QVariant &value) {
        if (UserState::value(key).toString() != value.toString())
            UserState::setValue(key, value);
    };
    keep(kPatternsKey, m_patterns->text());
    keep(kCaseKey, m_case->isChecked());
    keep(kWordsKey, m_words->isChecked());
    keep(kRegexKey, m_regex->isChecked());
}
