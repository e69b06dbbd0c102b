// The markup scanner's rules, line by line: the tokens of a line read from
// the state it starts in, and the state the next line starts in; what is
// at an offset; and the document's start states kept through edits.
#include "markupscanner.h"
#include "markupstates.h"

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace Markup;

namespace {
const char *kindName(TokenKind k)
{
    switch (k) {
    case TokenKind::StartTag:
        return "start";
    case TokenKind::EndTag:
        return "end";
    case TokenKind::Declaration:
        return "decl";
    case TokenKind::TagEnd:
        return "close";
    case TokenKind::AttributeName:
        return "name";
    case TokenKind::AttributeValue:
        return "value";
    case TokenKind::Comment:
        return "comment";
    case TokenKind::Reference:
        return "ref";
    case TokenKind::Text:
        return "text";
    case TokenKind::RawText:
        return "raw";
    }
    return "?";
}

QString describe(const QString &line, const Token &t)
{
    return QLatin1String(kindName(t.kind)) + QLatin1Char(':') + line.mid(t.start, t.length);
}

// "text", "comment", "script", "style", "textarea", "title"; "tag", then
// '"' or '\'' inside a value, '=' after one, ">name" in NAME's start tag,
// '/' in an end tag.
State st(const QString &name)
{
    State s;
    const QStringList modes = {"text", "comment", "tag", "script", "style", "textarea", "title"};
    for (int m = 0; m < modes.size(); ++m)
        if (name.startsWith(modes[m]))
            s.mode = Mode(m);
    if (s.mode != Mode::Tag)
        return s;
    const QStringView rest = QStringView(name).sliced(3);
    if (rest.startsWith(u'"'))
        s.phase = Phase::InDouble;
    else if (rest.startsWith(u'\''))
        s.phase = Phase::InSingle;
    else if (rest.startsWith(u'='))
        s.phase = Phase::AfterEquals;
    else if (rest.startsWith(u'>'))
        s.element = elementOf(rest.sliced(1));
    else if (rest.startsWith(u'/'))
        s.endTag = true;
    return s;
}
} // namespace

class TestMarkupScanner : public QObject {
    Q_OBJECT
private slots:
    void tokens_data();
    void tokens();
    void context_data();
    void context();
    void statesFollowEdits_data();
    void statesFollowEdits();
};

void TestMarkupScanner::tokens_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("end");

    QTest::newRow("tag with attributes")
        << "text" << "<IMG SRC=\"a.gif\" ALT='Logo' BORDER=0>"
        << QStringList{"start:<IMG",   "name:SRC",    "value:\"a.gif\"", "name:ALT",
                       "value:'Logo'", "name:BORDER", "value:0",         "close:>"}
        << "text";
    QTest::newRow("closing tag between text")
        << "text" << "Home</A> page" << QStringList{"text:Home", "end:</A", "close:>", "text: page"}
        << "text";
    QTest::newRow("unclosed tag at the end of a line")
        << "text" << "<IMG SRC=\"a.gif\""
        << QStringList{"start:<IMG", "name:SRC", "value:\"a.gif\""} << "tag";
    QTest::newRow("tag going on from the line before")
        << "tag" << "   ALT=\"x\">text"
        << QStringList{"name:ALT", "value:\"x\"", "close:>", "text:text"} << "text";
    QTest::newRow("quote left open goes on to the next line")
        << "text" << "<A NAME=\"x" << QStringList{"start:<A", "name:NAME", "value:\"x"}
        << "tag\"";
    QTest::newRow("and ends there") << "tag\"" << "y > z\">w"
                                    << QStringList{"value:y > z\"", "close:>", "text:w"} << "text";
    QTest::newRow("a name and its value on different lines")
        << "tag" << "=\"x\"" << QStringList{"value:\"x\""} << "tag";
    QTest::newRow("comment opened, first of two lines")
        << "text" << "text <!-- note" << QStringList{"text:text ", "comment:<!-- note"}
        << "comment";
    QTest::newRow("comment closed, second of two lines")
        << "comment" << "still --> <B>"
        << QStringList{"comment:still -->", "text: ", "start:<B", "close:>"} << "text";
    QTest::newRow("comment line inside a comment")
        << "comment" << "<B> is not a tag here" << QStringList{"comment:<B> is not a tag here"}
        << "comment";
    QTest::newRow("comment on one line")
        << "text" << "<!-- a --><P>" << QStringList{"comment:<!-- a -->", "start:<P", "close:>"}
        << "text";
    QTest::newRow("comments ended as browsers end them")
        << "text" << "<!-->a<!--->b<!-- c --!>d<!---->"
        << QStringList{"comment:<!-->", "text:a", "comment:<!--->", "text:b",
                       "comment:<!-- c --!>", "text:d", "comment:<!---->"}
        << "text";
    QTest::newRow("-> is no comment end") << "comment" << "->x --->"
                                          << QStringList{"comment:->x --->"} << "text";
    QTest::newRow("&amp;") << "text" << "Fish &amp; chips"
                           << QStringList{"text:Fish &amp; chips", "ref:&amp;"} << "text";
    QTest::newRow("&#160;") << "text" << "a&#160;b" << QStringList{"text:a&#160;b", "ref:&#160;"}
                            << "text";
    QTest::newRow("&#xA0;") << "text" << "&#xA0;" << QStringList{"text:&#xA0;", "ref:&#xA0;"}
                            << "text";
    QTest::newRow("ampersands that are no references")
        << "text" << "AT&T & &# &#; &amp" << QStringList{"text:AT&T & &# &#; &amp"} << "text";
    QTest::newRow("reference inside a value")
        << "text" << "<A HREF=\"?a=1&amp;b\">"
        << QStringList{"start:<A", "name:HREF", "value:\"?a=1&amp;b\"", "ref:&amp;", "close:>"}
        << "text";
    QTest::newRow("less-than in text is text")
        << "text" << "a < b, 1 <2 </>" << QStringList{"text:a < b, 1 <2 </>"} << "text";
    QTest::newRow("declaration")
        << "text" << "<!DOCTYPE HTML>" << QStringList{"decl:<!DOCTYPE", "name:HTML", "close:>"}
        << "text";
    QTest::newRow("xml declaration")
        << "text" << "<?xml version=\"1.0\"?>"
        << QStringList{"decl:<?xml", "name:version", "value:\"1.0\"", "close:?>"} << "text";
    QTest::newRow("empty-element end")
        << "text" << "<BR/>" << QStringList{"start:<BR", "close:/>"} << "text";
    QTest::newRow("a tag left open gives way to the next")
        << "text" << "<B <I>" << QStringList{"start:<B", "start:<I", "close:>"} << "text";
    QTest::newRow("slashes between attributes")
        << "text" << "<meta/charset=x / a/b>"
        << QStringList{"start:<meta", "name:charset", "value:x", "name:a", "name:b", "close:>"}
        << "text";
    QTest::newRow("a stray quote is a value")
        << "text" << "<img \"x\">" << QStringList{"start:<img", "value:\"x\"", "close:>"} << "text";
    QTest::newRow("empty line keeps the comment") << "comment" << "" << QStringList{} << "comment";
    QTest::newRow("script holds no markup")
        << "text" << "<script>if (a<b) x=\"</p>&amp;\";</SCRIPT>."
        << QStringList{"start:<script", "close:>", "raw:if (a<b) x=\"</p>&amp;\";",
                       "end:</SCRIPT", "close:>", "text:."}
        << "text";
    QTest::newRow("script tag going on to the next line")
        << "tag>script" << "src=\"x.js\"></script>"
        << QStringList{"name:src", "value:\"x.js\"", "close:>", "end:</script", "close:>"}
        << "text";
    QTest::newRow("script over lines, </scripts> is not its end")
        << "script" << "a</scripts><b>" << QStringList{"raw:a</scripts><b>"} << "script";
    QTest::newRow("end tag at the end of the line")
        << "style" << "p{}</style" << QStringList{"raw:p{}", "end:</style"} << "tag/";
    QTest::newRow("a self-closed script holds nothing")
        << "text" << "<script/>x" << QStringList{"start:<script", "close:/>", "text:x"} << "text";
    QTest::newRow("an end tag named script opens nothing")
        << "text" << "</script>x" << QStringList{"end:</script", "close:>", "text:x"} << "text";
    QTest::newRow("textarea holds references, no tags")
        << "text" << "<textarea><b>&amp;</textarea>"
        << QStringList{"start:<textarea", "close:>", "text:<b>&amp;", "ref:&amp;",
                       "end:</textarea", "close:>"}
        << "text";
    QTest::newRow("title over lines") << "title" << "a <i>b" << QStringList{"text:a <i>b"}
                                      << "title";
}

void TestMarkupScanner::tokens()
{
    QFETCH(QString, start);
    QFETCH(QString, line);
    QFETCH(QStringList, expected);
    QFETCH(QString, end);
    State after;
    QStringList got;
    for (const Token &t : Markup::tokens(line, st(start), &after))
        got << describe(line, t);
    QCOMPARE(got, expected);
    QCOMPARE(after.pack(), st(end).pack());
    QCOMPARE(scan(line, st(start)).pack(), st(end).pack()); // without tokens
    QCOMPARE(State::unpack(after.pack()).pack(), after.pack());
}

void TestMarkupScanner::context_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("state");
    QTest::newRow("attribute name") << "<a href=\"x\">" << 3 << "name:href" << "tag";
    QTest::newRow("inside a value") << "<a href=\"x\">" << 9 << "value:\"x\"" << "tag\"";
    QTest::newRow("reference, not its text") << "a &amp; b" << 3 << "ref:&amp;" << "text";
    QTest::newRow("script contents") << "<style>p{}</style>" << 8 << "raw:p{}" << "style";
    QTest::newRow("past the end") << "<b>" << 3 << "" << "text";
}

void TestMarkupScanner::context()
{
    QFETCH(QString, line);
    QFETCH(int, offset);
    QFETCH(QString, token);
    QFETCH(QString, state);
    const Context c = contextAt(line, State(), offset);
    QCOMPARE(c.inToken ? describe(line, c.token) : QString(), token);
    QCOMPARE(c.state.mode, st(state).mode);
    QCOMPARE(c.state.phase, st(state).phase);
}

void TestMarkupScanner::statesFollowEdits_data()
{
    QTest::addColumn<bool>("laidOut");
    QTest::newRow("shown: each change's place is told") << true;
    QTest::newRow("shown nowhere: no place is told") << false;
}

void TestMarkupScanner::statesFollowEdits()
{
    // A comment opened far above and taken back: the states below follow.
    QFETCH(bool, laidOut);
    QTextDocument doc;
    if (laidOut)
        doc.documentLayout();
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("<p title=\"a\nb\">%1</p><script>x<y\n</script>").arg(i);
    doc.setPlainText(lines.join(u'\n'));
    MarkupStates *states = MarkupStates::of(&doc);
    QCOMPARE(MarkupStates::of(&doc), states);
    auto fresh = [&doc] {
        QList<int> out;
        State s;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            out << s.pack();
            s = scan(b.text(), s);
        }
        return out;
    };
    auto kept = [&doc, states] {
        QList<int> out;
        for (int n = 0; n < doc.blockCount(); ++n)
            out << states->startState(n).pack();
        return out;
    };
    constexpr qint64 kAnyTime = std::numeric_limits<qint64>::max();
    QVERIFY(states->advance(doc.blockCount(), kAnyTime));
    QVERIFY(states->isComplete());
    QCOMPARE(kept(), fresh());
    // New formats (the colouring's) change no text: the states stay known.
    QTextCursor formats(&doc);
    formats.beginEditBlock();
    doc.markContentsDirty(0, 10);
    formats.endEditBlock();
    QCOMPARE(states->isComplete(), laidOut);
    QTextCursor c(doc.findBlockByNumber(6));
    c.insertText(QStringLiteral("<!--"));
    QCOMPARE(states->knownBlocks(), laidOut ? 6 : 0);
    QVERIFY(states->advance(doc.blockCount(), kAnyTime));
    QCOMPARE(kept(), fresh());
    QCOMPARE(states->startState(doc.blockCount() - 1).mode, Mode::Comment);
    doc.undo();
    QVERIFY(states->advance(doc.blockCount(), kAnyTime));
    QCOMPARE(kept(), fresh());
    // A key that leaves its line's end as it was: that line and the next
    // are read, and every state below them holds again.
    c = QTextCursor(doc.findBlockByNumber(10));
    c.insertText(QStringLiteral("x"));
    if (laidOut) {
        QVERIFY(states->advance(12, kAnyTime));
        QVERIFY(states->isComplete());
    }
    QVERIFY(states->advance(doc.blockCount(), kAnyTime));
    QCOMPARE(kept(), fresh());
    // What is at a place, and the tags of a few lines, for features asking.
    const int title = doc.findBlockByNumber(3).position() + 3;
    QCOMPARE(states->contextAt(title)->token.kind, TokenKind::AttributeName);
    QCOMPARE(states->contextAt(title + 7)->state.phase, Phase::InDouble);
    QStringList names;
    states->forEachToken(3, 5, [&names](const QTextBlock &b, const Token &t) {
        if (t.kind == TokenKind::StartTag || t.kind == TokenKind::EndTag)
            names << b.text().mid(t.nameStart, t.nameLength);
        return names.size() < 3;
    });
    QCOMPARE(names, (QStringList{"p", "p", "script"}));
    // Lines joined and split.
    c = QTextCursor(doc.findBlockByNumber(20));
    c.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 3);
    c.insertText(QStringLiteral("<b\n>\""));
    QVERIFY(states->advance(doc.blockCount(), kAnyTime));
    QCOMPARE(kept(), fresh());
    // A second change before the reading got past the first (two undo
    // steps): the states from before both come back past them, but not above
    // where the reading had got to. Lines 3n + 1 start in text.
    struct Twice {
        int line1;
        const char *text1;
        int readTo, line2;
        const char *text2;
        bool back; // a few lines read and every state below holds
    };
    for (const Twice &t : {Twice{37, "x", 38, 37, "y", true},
                           Twice{37, "<!--", 43, 40, "x", false}, // 41 in a comment both ways
                           Twice{28, "a\nb", 30, 28, "\n", true}}) {
        c = QTextCursor(doc.findBlockByNumber(t.line1));
        c.insertText(QString::fromLatin1(t.text1));
        states->advance(t.readTo, kAnyTime);
        c = QTextCursor(doc.findBlockByNumber(t.line2));
        c.insertText(QString::fromLatin1(t.text2));
        if (laidOut && t.back) {
            QVERIFY(states->advance(t.line2 + 4, kAnyTime));
            QVERIFY2(states->isComplete(), t.text1);
        }
        QVERIFY(states->advance(doc.blockCount(), kAnyTime));
        QCOMPARE(kept(), fresh());
    }
}

QTEST_MAIN(TestMarkupScanner)
#include "tst_markupscanner.moc"
