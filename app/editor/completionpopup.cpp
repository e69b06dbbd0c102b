#include "completionpopup.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QUrl>

namespace {
constexpr int kRowsShown = 10;
}

CompletionPopup::CompletionPopup(QPlainTextEdit *editor, Reading reading)
    : QObject(editor), m_editor(editor), m_reading(std::move(reading))
{
    connect(editor, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!m_busy)
            close();
    });
    for (QScrollBar *bar : {editor->verticalScrollBar(), editor->horizontalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] {
            if (!m_busy)
                close();
        });
    editor->installEventFilter(this);
}

CompletionPopup::~CompletionPopup() = default;

bool CompletionPopup::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride && isShown()) {
        // While it is shown its keys are its own, before any menu's.
        switch (static_cast<QKeyEvent *>(e)->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            e->accept();
            return true;
        default:
            break;
        }
    }
    if (e->type() == QEvent::FocusOut || e->type() == QEvent::Hide || e->type() == QEvent::Resize)
        close();
    return QObject::eventFilter(watched, e);
}

bool CompletionPopup::isShown() const { return m_list && !m_list->isHidden(); }

QStringList CompletionPopup::shownNames() const
{
    QStringList names;
    if (isShown())
        for (const Completion::Item &item : m_items)
            names << item.name;
    return names;
}

void CompletionPopup::close()
{
    if (m_list)
        m_list->hide();
    m_items.clear();
    m_ids.reset();
    m_classes.reset();
    m_files.clear();
}

void CompletionPopup::keyPress(QKeyEvent *e, const std::function<void()> &type)
{
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::ControlModifier) {
        open(true);
        e->accept();
        return;
    }
    if (isShown()) {
        const int row = m_list->currentRow(), last = m_list->count() - 1;
        int to = -1;
        switch (e->key()) {
        case Qt::Key_Escape:
            close();
            e->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (e->modifiers() & ~Qt::KeypadModifier)
                break;
            accept(row);
            e->accept();
            return;
        case Qt::Key_Up:
            to = qMax(0, row - 1);
            break;
        case Qt::Key_Down:
            to = qMin(last, row + 1);
            break;
        case Qt::Key_PageUp:
            to = qMax(0, row - kRowsShown);
            break;
        case Qt::Key_PageDown:
            to = qMin(last, row + kRowsShown);
            break;
        default:
            break;
        }
        if (to >= 0 && e->modifiers() == Qt::NoModifier) {
            m_list->setCurrentRow(to);
            e->accept();
            return;
        }
    }
    typed(e->text(), type);
}

void CompletionPopup::commitText(const QString &text, const std::function<void()> &type)
{
    typed(text, type);
}

void CompletionPopup::typed(const QString &text, const std::function<void()> &type)
{
    const bool wasShown = isShown();
    m_busy = true;
    type();
    m_busy = false;
    if (wasShown && follow())
        return;
    close();
    if (autoOpens(text))
        open(false);
}

// Only these keys open it, and only what they typed is read before
// the place is: a key in plain text costs a look at two characters.
bool CompletionPopup::autoOpens(const QString &typed) const
{
    if (typed.size() != 1 || m_editor->textCursor().hasSelection())
        return false;
    const QChar c = typed[0];
    if (c == u' ')
        return true;
    const int caret = m_editor->textCursor().position();
    const QString two = m_reading.textBetween(qMax(0, caret - 2), caret);
    if (!two.endsWith(c))
        return false; // the key typed more or other (a tag closed)
    const QChar before = two.size() == 2 ? two[0] : QChar();
    if (c.isLetter())
        return before == u'<' || before == u'&';
    if (c == u'/')
        return before == u'<';
    if (c == u'#') // the page's ids, at the start of a value
        return before == u'"' || before == u'\'';
    return (c == u'"' || c == u'\'') && before == u'=';
}

Completion::Result CompletionPopup::read(int *start) const
{
    const int caret = m_editor->textCursor().position();
    Markup::State state;
    const int from = m_reading.readingStart(caret, m_reading.reach, &state);
    Completion::PageSource page;
    page.ids = [this] { return ids(); };
    page.classes = [this] { return classes(); };
    if (m_folder && !m_folder().isEmpty())
        page.files = [this](const QString &folder) { return files(folder); };
    Completion::Result r = Completion::complete(m_reading.textBetween(from, caret), state, page);
    *start = from + int(r.prefixStart);
    return r;
}

// Filters by what is typed at the same place; any other place closes it.
bool CompletionPopup::follow()
{
    int start = 0;
    const Completion::Result r = read(&start);
    if (r.place != m_place || start != m_start || r.items.isEmpty())
        return false;
    show(r, start);
    return true;
}

bool CompletionPopup::open(bool asked)
{
    if (m_editor->textCursor().hasSelection()) {
        close();
        return false;
    }
    int start = 0;
    const Completion::Result r = read(&start);
    // By itself it opens only on what the key began.
    const bool fits =
        !r.items.isEmpty()
        && (asked || (r.place == Completion::Place::ElementName && r.prefix.size() == 1)
            || (r.place == Completion::Place::Reference && r.prefix.size() == 1)
            || r.prefix.isEmpty());
    if (!fits) {
        close();
        return false;
    }
    show(r, start);
    return true;
}

void CompletionPopup::show(const Completion::Result &r, int start)
{
    if (!m_list) {
        // Made when first shown: an editor never completing costs nothing.
        m_list = new QListWidget(m_editor->viewport());
        m_list->setObjectName(QStringLiteral("completionList"));
        // The keys stay with the editor.
        m_list->setFocusPolicy(Qt::NoFocus);
        m_list->viewport()->setFocusPolicy(Qt::NoFocus);
        m_list->setUniformItemSizes(true);
        m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(m_list, &QListWidget::itemClicked, this,
                [this](QListWidgetItem *item) { accept(m_list->row(item)); });
    }
    m_place = r.place;
    m_start = start;
    m_items = r.items;
    m_list->clear();
    const QColor faded = m_list->palette().color(QPalette::Disabled, QPalette::Text);
    for (const Completion::Item &item : m_items) {
        QString text = item.name + QLatin1String("    ") + item.description;
        if (item.obsolete)
            text += tr(" (obsolete)");
        auto *row = new QListWidgetItem(text, m_list);
        if (item.obsolete)
            row->setForeground(faded);
    }
    m_list->setCurrentRow(0);
    const QFontMetrics fm(m_list->font());
    const int rowHeight = qMax(m_list->sizeHintForRow(0), fm.height());
    const int height = rowHeight * qMin(kRowsShown, m_list->count()) + 2 * m_list->frameWidth();
    const int width = qMin(m_editor->viewport()->width(), 28 * fm.averageCharWidth() + 40);
    const QRect caret = m_editor->cursorRect();
    const QRect area = m_editor->viewport()->rect();
    int y = caret.bottom() + 1;
    if (y + height > area.bottom() && caret.top() - height >= 0)
        y = caret.top() - height;
    const int x = qBound(0, caret.left(), qMax(0, area.right() - width));
    m_list->setGeometry(x, y, width, height);
    m_list->show();
    m_list->raise();
}

void CompletionPopup::accept(int row)
{
    if (row < 0 || row >= m_items.size())
        return;
    int start = 0;
    read(&start); // where what was typed starts now
    const Completion::Item item = m_items[row];
    QTextCursor c = m_editor->textCursor();
    m_busy = true;
    {
        const std::shared_ptr<void> step = m_reading.undoStep();
        c.setPosition(start);
        c.setPosition(m_editor->textCursor().position(), QTextCursor::KeepAnchor);
        c.insertText(item.insert);
    }
    // Placed once the step has ended: within it the changed line is not yet
    // laid out again.
    c.setPosition(c.position() - item.caretBack);
    m_editor->setTextCursor(c);
    m_busy = false;
    close();
    if (item.reopens)
        open(false); // an attribute's values, a folder's files
}

const QStringList &CompletionPopup::ids() const
{
    if (!m_ids) {
        m_ids.emplace();
        m_classes.emplace();
        // A bounded stretch around the caret: a key never reads the page.
        const int caret = m_editor->textCursor().position();
        Markup::State state;
        const int from = m_reading.readingStart(caret, kNameReach / 2, &state);
        const int to = qMin(m_editor->document()->characterCount() - 1, caret + kNameReach / 2);
        QStringList sheets;
        Completion::collectNames(m_reading.textBetween(from, to), state, &*m_ids, &*m_classes,
                                 kMaxNames, &sheets);
        // The classes of the local stylesheets the page links, read once
        // an opening, a little of each: nothing is fetched.
        const QString folder = m_folder ? m_folder() : QString();
        qint64 budget = kStylesheetBytes;
        for (const QString &href : std::as_const(sheets)) {
            if (folder.isEmpty() || budget <= 0 || href.startsWith(u'/') || href.contains(u':'))
                continue;
            QFile file(QDir(folder).filePath(QUrl::fromPercentEncoding(
                href.left(href.indexOf(QRegularExpression(QStringLiteral("[?#]")))).toUtf8())));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray css = file.read(budget);
            budget -= css.size();
            Completion::cssClassNames(QString::fromUtf8(css), &*m_classes, kMaxNames);
        }
    }
    return *m_ids;
}

const QStringList &CompletionPopup::classes() const
{
    ids();
    return *m_classes;
}

QStringList CompletionPopup::files(const QString &folder) const
{
    const auto known = m_files.constFind(folder);
    if (known != m_files.cend())
        return *known;
    QStringList names;
    const QDir dir(QDir(m_folder()).filePath(folder));
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                          QDir::DirsFirst | QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &e : entries) {
        if (names.size() >= kMaxFiles)
            break;
        names << (e.isDir() ? e.fileName() + u'/' : e.fileName());
    }
    m_files.insert(folder, names);
    return names;
}
