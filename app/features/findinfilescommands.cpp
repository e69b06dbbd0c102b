#include "findinfilescommands.h"
#include "actions.h"
#include "currentdocument.h"
#include "document.h"
#include "documenttable.h"
#include "editorbox.h"
#include "fileedits.h"
#include "findinfilespane.h"
#include "htmldoc.h"
#include "keyboardreturn.h"
#include "pagetext.h"
#include "sitefolder.h"
#include "uiseam.h"

#include <QMainWindow>
#include <QMdiArea>

namespace {
// A short list for a box: a few names, then how many more.
QString listed(const QStringList &items)
{
    constexpr int kShown = 10;
    QString out = items.mid(0, kShown).join(QLatin1Char('\n'));
    if (items.size() > kShown)
        out += QStringLiteral("\n(and %1 more)").arg(items.size() - kShown);
    return out;
}
} // namespace

FindInFilesCommands::FindInFilesCommands(ActionRegistry *actions, CurrentDocument *current,
                                         DocumentTable *docs, QMdiArea *area, QMainWindow *window,
                                         SiteFolder *site, QObject *parent)
    : QObject(parent), m_current(current), m_docs(docs), m_area(area),
      m_pane(new FindInFilesPane(window))
{
    new KeepKeyboardOnHide(m_pane);
    window->addDockWidget(Qt::BottomDockWidgetArea, m_pane);
    m_pane->hide();
    m_pane->setFolderSource([site] { return site->pathOrAsk(); });
    m_pane->setOpenTexts([this] { return openTexts(); });
    connect(m_pane, &FindInFilesPane::placeChosen, this,
            [this](const QString &path, int line, qsizetype column, qsizetype length) {
                runGuarded([&] { showPlace(path, line, column, length); });
            });
    connect(m_pane, &FindInFilesPane::replaceChosen, this,
            [this](const QList<FileMatches> &files) { runGuarded([&] { replace(files); }); });
    using namespace ActionId;
    actions->add({separatorRow(EditMenu),
                  itemRow(EditMenu, "EditFindInFiles", QStringLiteral("Find in &Files..."),
                          [this] { FindInFilesClick(); })
                      .key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F))},
                 this);
}

void FindInFilesCommands::FindInFilesClick()
{
    // The selection, when it is on one line, is what to look for.
    QString text;
    if (EditorBox *editor = m_current->activeEditor()) {
        const QString selected = editor->textCursor().selectedText();
        if (!selected.contains(QChar::ParagraphSeparator))
            text = selected;
    }
    m_pane->showFor(text);
}

QHash<QString, OpenText> FindInFilesCommands::openTexts() const
{
    QHash<QString, OpenText> out;
    for (PageDocument *page : m_docs->pages())
        if (!page->filePath().isEmpty())
            out.insert(sameFileKey(page->filePath()),
                       OpenText{page->text()->toRawText(), page->editCount()});
    return out;
}

void FindInFilesCommands::showPlace(const QString &path, int line, qsizetype column,
                                    qsizetype length)
{
    PageDocument *page = m_docs->pageOf(path);
    if (!page || !m_docs->windowOf(page)) {
        emit openRequested(path);
        page = m_docs->pageOf(path);
    }
    THTMLDOC *doc = page ? m_docs->windowOf(page) : nullptr;
    if (!doc)
        return; // not opened: the user cancelled, or the error was told
    m_area->setActiveSubWindow(doc);
    doc->editor()->selectSpan(line, int(column), line, int(column + length));
    doc->editor()->setFocus();
}

void FindInFilesCommands::replace(const QList<FileMatches> &files)
{
    QList<FileEdits> edits;
    QStringList changedSince; // open pages edited since they were searched
    for (const FileMatches &f : files) {
        // Planned on an open page's text: that text must stand as it was.
        // Planned on the file: a page opened since must not have changed.
        const PageDocument *page = m_docs->pageOf(f.path);
        if (f.openEdits ? !page || page->editCount() != f.openEdits : page && page->isModified()) {
            changedSince << f.path;
            continue;
        }
        FileEdits e{f.path, f.stamp, {}};
        for (const LineMatch &m : f.matches)
            e.edits << LineEdit{m.line, m.column, m.length, m.replacement};
        edits << e;
    }
    const FileEditsOutcome out = applyFileEdits(m_docs, edits);
    int replaced = 0;
    for (const FileMatches &f : files)
        if (out.changed.contains(f.path))
            replaced += int(f.matches.size());
    m_pane->setSummary(
        QStringLiteral("%1 replacements made in %2 files.").arg(replaced).arg(out.changed.size()));
    QStringList notes;
    const QStringList skipped = out.changedOnDisk + changedSince;
    if (!skipped.isEmpty())
        notes << QStringLiteral("These files changed since they were searched and were left "
                                "as they are:\n")
                     + listed(skipped);
    if (!out.failed.isEmpty())
        notes << QStringLiteral("These files could not be changed:\n") + listed(out.failed);
    if (!notes.isEmpty())
        ui().warningBox(notes.join(QStringLiteral("\n\n")));
}
