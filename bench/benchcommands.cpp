#include "benchcommands.h"
#include "actions.h"
#include "benchsupport.h"
#include "bodymarkup.h"
#include "docinfo.h"
#include "editorbox.h"
#include "hrmarkup.h"
#include "htmldoc.h"
#include "imagemarkup.h"
#include "linkmarkup.h"
#include "listmarkup.h"
#include "localpathtourl.h"
#include "mainwindow.h"
#include "procfigures.h"
#include "tablemarkup.h"
#include "tagcommands.h"

#include <QAction>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <cstdio>

namespace bench {

std::vector<Command> commands()
{
    std::vector<Command> list = {
        {"bold (selected word)", true, [] { runCommand(TagCommand::Bold); }},
        {"BR", false, [] { runCommand(TagCommand::LineBreak); }},
        {"H1", false, [] { runCommand(TagCommand::H1); }},
        // Dialog commands: what each runs once its dialog has closed.
        {"HR (opening values)", false,
         [] {
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             ed->setSelText(HorizRuleTag(100, true, 1, QString(), true));
         }},
        {"image form A", false,
         [] {
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             ed->setSelText(ImageMarkup({LocalPathToUrl(QStringLiteral("C:\\pics\\logo.gif")),
                                         QStringLiteral("index.htm"), QStringLiteral("Logo"),
                                         QStringLiteral("Home"), QStringLiteral("Left")}));
         }},
        {"BODY rewrite", false,
         [] {
             WriteBodyAttributes(ActiveEditor(),
                                 {QStringLiteral("file:///C|/web/tile.gif"),
                                  QStringLiteral("#FFFFFF"), QStringLiteral("#000000"),
                                  QStringLiteral("#0000FF")});
         }},
        {"5-item list", false,
         [] {
             const QStringList items = {QStringLiteral("One"), QStringLiteral("Two"),
                                        QStringLiteral("Three"), QStringLiteral("Four"),
                                        QStringLiteral("Five")};
             ListMarkup::writeBelowCaret(
                 ActiveEditor(),
                 ListMarkup::lines(ListMarkup::tags(true, QStringLiteral("Numbered")), items));
         }},
        {"5 x 5 table", false,
         [] { insertLinesBelowCaret(ActiveEditor(), tableLines(TableLayout())); }},
        {"http link (selected word)", true,
         [] {
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             const QString selected = ed->selText();
             ed->setSelText(LinkMarkup::link(QStringLiteral("http://"),
                                             QStringLiteral("example.com/"),
                                             QStringLiteral("Example"), QString(), selected));
         }},
        {"target", false,
         [] {
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             ed->setSelText(LinkMarkup::target(QStringLiteral("here")));
         }},
        {"abbreviation of 1,000 items", false,
         [] {
             // Typed on a line of its own and expanded, in one undo step.
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             ed->setSelText(QStringLiteral("\r\nul>li.item$*1000>a[href=page$.html]{Item $}"));
             const int before = ed->lineCount();
             ZediDove->action(QStringLiteral("EditExpandAbbreviation"))->trigger();
             if (ed->lineCount() < before + 1000)
                 std::fprintf(stderr, "the abbreviation was not expanded\n");
         }},
        {"target scan for <TARGET>", false,
         [] {
             if (LinkMarkup::scanTargets(ActiveEditor()).size() != 1000)
                 std::fprintf(stderr, "target scan found the wrong number of targets\n");
         },
         false},
    };
    return list;
}

double commandOnce(EditorBox *ed, const Command &c)
{
    caretToMiddle(ed, c.selectWord);
    settle();
    const double ms = timeMs([&] { c.run(); });
    if (c.undo)
        ed->undo();
    settle();
    return ms;
}

double typedCharacterOnce(EditorBox *ed)
{
    caretToMiddle(ed, false);
    settle();
    const double ms = timeMs([&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(ed, &press);
        settle();
    });
    ed->undo();
    settle();
    return ms;
}

std::vector<double> timeOnEachPage(const std::vector<THTMLDOC *> &docs, int runs,
                                   const std::function<double(EditorBox *)> &once)
{
    std::vector<std::vector<double>> t(docs.size());
    for (int r = -1; r < runs; ++r) {
        for (size_t i = 0; i < docs.size(); ++i) {
            ZediDove->mdiArea()->setActiveSubWindow(docs[i]);
            settle();
            if (ActiveEditor() != docs[i]->editor())
                std::fprintf(stderr, "the page to measure is not the active document\n");
            const double ms = once(docs[i]->editor());
            if (r >= 0)
                t[i].push_back(ms);
        }
    }
    std::vector<double> out;
    for (const std::vector<double> &v : t)
        out.push_back(median(v));
    return out;
}

} // namespace bench
