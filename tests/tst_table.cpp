// The table command: the lines it writes, where it writes them, the grids
// that keep their texts, and the dialog driven as a user would.
#include "actions.h"
#include "editorbox.h"
#include "linesbelow.h"
#include "mainwindow.h"
#include "tablebuilder.h"
#include "tablemarkup.h"
#include "tablewidgets.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

Q_DECLARE_METATYPE(TableLayout)

namespace {
const QString kDefaultRow = QStringLiteral(
    "<TR><TH></TH><TD></TD><TD></TD><TD></TD><TD></TD><TD></TD></TR>");

QStringList defaultTable()
{
    return {QStringLiteral("<TABLE COLSPEC=\"L4 L4 L4 L4 L4 \" BORDER=1>"),
            QStringLiteral("<CAPTION ALIGN=TOP></CAPTION>"),
            QStringLiteral("<TR><TH></TH><TH></TH><TH></TH><TH></TH><TH></TH><TH></TH></TR>"),
            kDefaultRow, kDefaultRow, kDefaultRow, kDefaultRow, kDefaultRow,
            QStringLiteral("</TABLE>")};
}

// Types into a cell the way a user does: start editing, type, press Enter.
void typeIntoCell(StringGrid *grid, int col, int row, const QString &text)
{
    const QModelIndex idx = grid->cellIndex(col, row);
    grid->setCurrentIndex(idx);
    grid->edit(idx);
    auto *editor = grid->viewport()->findChild<QLineEdit *>();
    if (!editor)
        editor = grid->findChild<QLineEdit *>();
    if (!editor)
        return;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits and closes from the event loop.
    QTRY_VERIFY(!grid->isEditing());
}

const QString kSkeletonHead = QStringLiteral(
    "<HTML>\r\n<HEAD>\r\n<TITLE>Document Title Goes Here </TITLE>\r\n</HEAD>\r\n<BODY>\r\n");
} // namespace

class TestTable : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_ui = startWithScriptedUi();
    }
    void cleanupTestCase()
    {
        stopApplication();
        delete m_ui;
    }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        if (Table)
            QVERIFY(!Table->isVisible());
        QVERIFY(noDialogLeft);
    }

    void tableLines_data()
    {
        QTest::addColumn<TableLayout>("layout");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("dialog as it opens") << TableLayout() << defaultTable();

        TableLayout one;
        one.columns = 1;
        one.columnWidths = {64};
        one.gridRows = 2;
        one.rowTitleCount = 1;
        QTest::newRow("one column")
            << one
            << QStringList{QStringLiteral("<TABLE COLSPEC=\"L4 \" BORDER=1>"),
                           QStringLiteral("<CAPTION ALIGN=TOP></CAPTION>"),
                           QStringLiteral("<TR><TH></TH><TH></TH></TR>"),
                           QStringLiteral("<TR><TH></TH><TD></TD></TR>"),
                           QStringLiteral("</TABLE>")};

        TableLayout widths;
        widths.columnWidths = {12, 13, 130, 0, 64};
        QStringList w = defaultTable();
        w[0] = QStringLiteral("<TABLE COLSPEC=\"L0 L1 L10 L0 L4 \" BORDER=1>");
        QTest::newRow("narrow and dragged columns") << widths << w;

        TableLayout empty;
        empty.alignment.clear();
        empty.borderWidth = 30;
        QStringList e = defaultTable();
        e[0] = QStringLiteral("<TABLE COLSPEC=\"L4 L4 L4 L4 L4 \" BORDER=30>");
        e[1] = QStringLiteral("<CAPTION ALIGN=></CAPTION>");
        QTest::newRow("empty caption and alignment") << empty << e;

        TableLayout markup;
        markup.columns = 2;
        markup.gridRows = 3;
        markup.rowTitleCount = 2;
        markup.caption = QStringLiteral("Fish & <Chips>");
        markup.alignment = QStringLiteral("BOTTOM");
        markup.columnTitles.setText(0, 0, QStringLiteral("<B>"));
        markup.columnTitles.setText(1, 0, QStringLiteral("a&b"));
        markup.columnTitles.setText(2, 0, QStringLiteral("hidden")); // past the last column
        markup.rowTitles.setText(0, 0, QStringLiteral("r1"));
        markup.rowTitles.setText(0, 1, QStringLiteral("r2"));
        markup.rowTitles.setText(0, 2, QStringLiteral("hidden"));
        markup.cells.setText(0, 0, QStringLiteral("header row")); // row 0 is never written
        markup.cells.setText(0, 1, QStringLiteral("&nbsp;"));
        markup.cells.setText(1, 2, QStringLiteral("x<y"));
        QTest::newRow("texts pass unchanged")
            << markup
            << QStringList{
                   QStringLiteral("<TABLE COLSPEC=\"L4 L4 \" BORDER=1>"),
                   QStringLiteral("<CAPTION ALIGN=BOTTOM>Fish & <Chips></CAPTION>"),
                   QStringLiteral("<TR><TH></TH><TH><B></TH><TH>a&b</TH></TR>"),
                   QStringLiteral("<TR><TH>r1</TH><TD>&nbsp;</TD><TD></TD></TR>"),
                   QStringLiteral("<TR><TH>r2</TH><TD></TD><TD>x<y</TD></TR>"),
                   QStringLiteral("</TABLE>")};

        TableLayout minimum;
        minimum.columns = 1;
        minimum.columnWidths = {64};
        minimum.gridRows = 1;
        minimum.rowTitleCount = 1;
        minimum.cells.setText(0, 1, QStringLiteral("kept"));
        QTest::newRow("rows at the minimum")
            << minimum
            << QStringList{QStringLiteral("<TABLE COLSPEC=\"L4 \" BORDER=1>"),
                           QStringLiteral("<CAPTION ALIGN=TOP></CAPTION>"),
                           QStringLiteral("<TR><TH></TH><TH></TH></TR>"),
                           QStringLiteral("<TR><TH></TH><TD>kept</TD></TR>"),
                           QStringLiteral("</TABLE>")};
    }
    void tableLines()
    {
        QFETCH(TableLayout, layout);
        QFETCH(QStringList, expected);
        QCOMPARE(::tableLines(layout), expected);
    }

    void insertion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("caret");

        QTest::newRow("empty body line is replaced")
            << "<BODY>\r\n\r\n</BODY>" << 8 << 0 << "<BODY>\r\nL1\r\nL2\r\n</BODY>" << 16;
        QTest::newRow("caret inside a text line")
            << "abcdef\r\nnext" << 3 << 0 << "abcdef\r\nL1\r\nL2\r\nnext" << 16;
        QTest::newRow("caret at the start of a text line")
            << "abc\r\ndef" << 5 << 0 << "abc\r\ndef\r\nL1\r\nL2" << 16;
        QTest::newRow("selection is replaced")
            << "abcdef\r\nnext" << 2 << 2 << "abef\r\nL1\r\nL2\r\nnext" << 14;
        QTest::newRow("selection over lines")
            << "ab\r\ncd\r\nef" << 1 << 4 << "ad\r\nL1\r\nL2\r\nef" << 12;
        QTest::newRow("selected whole line leaves it empty")
            << "x\r\nword\r\ny" << 3 << 4 << "x\r\nL1\r\nL2\r\ny" << 11;
        QTest::newRow("asterisks elsewhere do not move the table")
            << "*\r\na*b\r\ncd" << 9 << 0 << "*\r\na*b\r\ncd\r\nL1\r\nL2" << 18;
        QTest::newRow("caret at the end of the text")
            << "abc" << 3 << 0 << "abc\r\nL1\r\nL2" << 11;
        QTest::newRow("empty document") << "" << 0 << 0 << "L1\r\nL2\r\n" << 8;
        QTest::newRow("caret on the empty last line")
            << "abc\r\n" << 5 << 0 << "abc\r\nL1\r\nL2\r\n" << 13;
    }
    void insertion()
    {
        QFETCH(QString, text);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(QString, expected);
        QFETCH(int, caret);
        setEditorText(text, selStart, selLength);
        insertLinesBelowCaret(editor(), {QStringLiteral("L1"), QStringLiteral("L2")});
        QCOMPARE(editor()->text(), expected);
        QCOMPARE(editor()->selStart(), caret);
        QCOMPARE(editor()->selLength(), 0);
        QVERIFY(editor()->isModified());
        editor()->undo();
        QCOMPARE(editor()->text(), text); // one undo step
    }

    // The one writer of lines below the caret, in the cases where the table
    // (an empty last line keeps its break) and the list differ or once did.
    void linesBelowCaret_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("keptAfter");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("caret");
        const QStringList l12 = {QStringLiteral("L1"), QStringLiteral("L2")};
        const QStringList broken = {QStringLiteral("A\r\nB"), QStringLiteral("C")};
        for (const bool kept : {true, false}) {
            const char *how = kept ? "table: " : "list: ";
            const QString end = kept ? QStringLiteral("\r\n") : QString();
            const int endCaret = kept ? 8 : 6;
            QTest::addRow("%sempty page", how) << "" << 0 << 0 << l12 << kept
                                               << "L1\r\nL2" + end << endCaret;
            QTest::addRow("%swhole text selected", how) << "abc" << 0 << 3 << l12 << kept
                                                        << "L1\r\nL2" + end << endCaret;
            QTest::addRow("%sa line holding a break", how)
                << "x\r\ny" << 0 << 0 << broken << kept << "x\r\nA\r\nB\r\nC\r\ny" << 12;
            QTest::addRow("%scaret on the empty last line", how)
                << "abc\r\n" << 5 << 0 << l12 << kept << "abc\r\nL1\r\nL2" + end
                << endCaret + 5;
        }
    }
    void linesBelowCaret()
    {
        QFETCH(QString, text);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(QStringList, lines);
        QFETCH(bool, keptAfter);
        QFETCH(QString, expected);
        QFETCH(int, caret);
        setEditorText(text, selStart, selLength);
        writeLinesBelowCaret(editor(), lines,
                             keptAfter ? EmptyLastLine::KeptAfter : EmptyLastLine::Replaced);
        QCOMPARE(editor()->text(), expected);
        QCOMPARE(editor()->selStart(), caret);
    }

    void borderFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("border");
        QTest::newRow("in range") << "7" << 7;
        QTest::newRow("above the range") << "45" << 30;
        QTest::newRow("zero") << "0" << 1;
        QTest::newRow("negative") << "-3" << 1;
        QTest::newRow("not a number") << "abc" << 1;
        QTest::newRow("empty") << "" << 1;
        QTest::newRow("beyond any integer") << "99999999999999999999" << 30;
        // The same rule as every other number field (clampSpinText).
        QTest::newRow("no-break space before") << QStringLiteral("\u00A07") << 7;
        QTest::newRow("em space before") << QStringLiteral("\u20037") << 7;
    }
    void borderFromText()
    {
        QFETCH(QString, text);
        QFETCH(int, border);
        QCOMPARE(::borderFromText(text), border);
    }

    void gridKeepsTextsBeyondItsSize()
    {
        StringGrid grid;
        grid.setFixedTopRow(true);
        grid.setColCount(5);
        grid.setRowCount(6);
        grid.setCell(4, 5, QStringLiteral("corner"));
        QCOMPARE(grid.cellIndex(4, 5).data().toString(), QStringLiteral("corner"));
        grid.setColCount(2);
        grid.setRowCount(2);
        QCOMPARE(grid.colCount(), 2);
        QCOMPARE(grid.rowCount(), 2);
        QVERIFY(!grid.cellIndex(4, 5).isValid());
        QCOMPARE(grid.cell(4, 5), QStringLiteral("corner"));
        QCOMPARE(grid.cell(9, 9), QString());
        grid.setColCount(5);
        grid.setRowCount(6);
        QCOMPARE(grid.cellIndex(4, 5).data().toString(), QStringLiteral("corner"));
        // The counts never go below one, with the fixed row counted.
        grid.setRowCount(0);
        grid.setColCount(-4);
        QCOMPARE(grid.rowCount(), 1);
        QCOMPARE(grid.colCount(), 1);
    }

    void draggingAGreyBoxMovesTheColumn()
    {
        StringGrid grid;
        grid.setFixedTopRow(true);
        grid.setColCount(3);
        grid.setRowCount(3);
        grid.setCell(0, 1, QStringLiteral("a"));
        grid.setCell(0, 7, QStringLiteral("far a"));
        grid.setCell(1, 1, QStringLiteral("b"));
        grid.setCell(2, 1, QStringLiteral("c"));
        grid.setColWidth(0, 100);
        grid.horizontalHeader()->moveSection(0, 2);
        QTRY_COMPARE(grid.cell(2, 1), QStringLiteral("a"));
        QCOMPARE(grid.cell(0, 1), QStringLiteral("b"));
        QCOMPARE(grid.cell(1, 1), QStringLiteral("c"));
        QCOMPARE(grid.cell(2, 7), QStringLiteral("far a"));
        QCOMPARE(grid.colWidth(2), 100);
        QCOMPARE(grid.colWidth(0), 64);
        QCOMPARE(grid.horizontalHeader()->visualIndex(2), 2);
    }

    void buildsATableFromTheDialog()
    {
        setEditorText(THTMLDOC_skeleton(), 75);
        bool opened = false;
        onNextModal([&](QWidget *dlg) {
            opened = dlg == Table && dlg->windowTitle() == QStringLiteral("Tables")
                     && child<QLineEdit>(dlg, "Cap")->hasFocus();
            QTest::keyClicks(child<QLineEdit>(dlg, "Cap"), QStringLiteral("Prices & <b>"));
            child<QComboBox>(dlg, "Align")->setCurrentText(QStringLiteral("BOTTOM"));
            auto *border = child<QSpinBox>(dlg, "BorderW");
            border->selectAll();
            QTest::keyClicks(border, QStringLiteral("45"));
            click(dlg, "ColDec");
            click(dlg, "ColDec");
            click(dlg, "ColDec"); // 2 columns
            click(dlg, "RowDec");
            click(dlg, "RowDec");
            click(dlg, "RowDec"); // 2 rows
            auto *grid = child<StringGrid>(dlg, "tablegrid");
            auto *titles = child<StringGrid>(dlg, "ColTitle");
            typeIntoCell(titles, 0, 0, QStringLiteral("Item"));
            typeIntoCell(titles, 1, 0, QStringLiteral("Cost"));
            typeIntoCell(child<StringGrid>(dlg, "RowTitle"), 0, 1, QStringLiteral("Second"));
            typeIntoCell(grid, 0, 1, QStringLiteral("tea"));
            typeIntoCell(grid, 1, 2, QStringLiteral("<3"));
            grid->setColWidth(1, 130); // as after a drag between the grey boxes
            QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
            m_titleWidth = titles->colWidth(1);
            click(dlg, "Button1");
        });
        runCommand(TagCommand::Table);
        QVERIFY(opened);
        QCOMPARE(m_titleWidth, 130);
        QCOMPARE(editor()->text(),
                 kSkeletonHead
                     + "<TABLE COLSPEC=\"L4 L10 \" BORDER=30>\r\n"
                       "<CAPTION ALIGN=BOTTOM>Prices & <b></CAPTION>\r\n"
                       "<TR><TH></TH><TH>Item</TH><TH>Cost</TH></TR>\r\n"
                       "<TR><TH></TH><TD>tea</TD><TD></TD></TR>\r\n"
                       "<TR><TH>Second</TH><TD></TD><TD><3</TD></TR>\r\n"
                       "</TABLE>\r\n</BODY>\r\n</HTML>");
        QCOMPARE(editor()->selStart(), editor()->lineOffset(11));
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(ZediDove));
    }

    void defaultsGiveTheNineLines()
    {
        setEditorText(THTMLDOC_skeleton(), 75);
        onNextModal([&](QWidget *dlg) {
            // The alignment is the one thing an opening keeps.
            child<QComboBox>(dlg, "Align")->setCurrentText(QStringLiteral("TOP"));
            click(dlg, "Button1");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(editor()->text(), kSkeletonHead + defaultTable().join("\r\n")
                                       + "\r\n</BODY>\r\n</HTML>");
        QCOMPARE(editor()->selStart(), editor()->lineOffset(14));
    }

    void cancelLeavesTheDocument()
    {
        setEditorText(QStringLiteral("abc\r\ndef"), 2, 3);
        onNextModal([&](QWidget *dlg) {
            QTest::keyClicks(child<QLineEdit>(dlg, "Cap"), QStringLiteral("x"));
            click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(editor()->text(), QStringLiteral("abc\r\ndef"));
        QVERIFY(!editor()->isModified());
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(ZediDove));
    }

    void openingResetsButKeepsAlignmentAndOuterTexts()
    {
        setEditorText(QStringLiteral("x"), 1);
        onNextModal([&](QWidget *dlg) {
            QTest::keyClicks(child<QLineEdit>(dlg, "Cap"), QStringLiteral("old"));
            child<QComboBox>(dlg, "Align")->setCurrentText(QStringLiteral("MIDDLE"));
            child<QSpinBox>(dlg, "BorderW")->setValue(9);
            click(dlg, "ColInc");
            click(dlg, "ColInc");
            click(dlg, "RowInc");
            auto *grid = child<StringGrid>(dlg, "tablegrid");
            grid->setColWidth(0, 20);
            typeIntoCell(grid, 0, 1, QStringLiteral("reset me"));
            typeIntoCell(grid, 6, 6, QStringLiteral("outer"));
            typeIntoCell(child<StringGrid>(dlg, "RowTitle"), 0, 5, QStringLiteral("sixth"));
            click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        TableLayout seen;
        onNextModal([&](QWidget *dlg) {
            seen = Table->tableLayout();
            click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(seen.caption, QString());
        QCOMPARE(seen.borderWidth, 1);
        QCOMPARE(seen.alignment, QStringLiteral("MIDDLE"));
        QCOMPARE(seen.columns, 5);
        QCOMPARE(seen.gridRows, 6);
        QCOMPARE(seen.rowTitleCount, 5);
        QCOMPARE(seen.columnWidths, (QList<int>{64, 64, 64, 64, 64}));
        QCOMPARE(seen.cells.text(0, 1), QString());
        QCOMPARE(seen.cells.text(6, 6), QStringLiteral("outer"));
        QCOMPARE(seen.rowTitles.text(0, 5), QString()); // inside the cleared block
    }

    void countsStopAtTheirLimits()
    {
        setEditorText(QString(), 0);
        TableLayout low, high;
        onNextModal([&](QWidget *dlg) {
            child<QComboBox>(dlg, "Align")->setCurrentText(QStringLiteral("TOP"));
            typeIntoCell(child<StringGrid>(dlg, "tablegrid"), 0, 1, QStringLiteral("first"));
            for (int i = 0; i < 7; ++i) {
                click(dlg, "ColDec");
                click(dlg, "RowDec");
            }
            low = Table->tableLayout();
            for (int i = 0; i < 1005; ++i) {
                Table->RowIncClick();
                Table->ColIncClick();
            }
            high = Table->tableLayout();
            for (int i = 0; i < 1005; ++i) {
                Table->RowDecClick();
                Table->ColDecClick();
            }
            click(dlg, "Button1");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(low.columns, 1);
        QCOMPARE(low.gridRows, 1);
        QCOMPARE(low.rowTitleCount, 1);
        QCOMPARE(high.columns, TableLimits::kMaxColumns);
        QCOMPARE(high.gridRows, TableLimits::kMaxGridRows);
        QCOMPARE(high.rowTitleCount, TableLimits::kMaxTableRows);
        // At the minimum the one data row still carries the texts of row 1.
        QCOMPARE(editor()->text(),
                 QStringLiteral("<TABLE COLSPEC=\"L4 \" BORDER=1>\r\n"
                                "<CAPTION ALIGN=TOP></CAPTION>\r\n"
                                "<TR><TH></TH><TH></TH></TR>\r\n"
                                "<TR><TH></TH><TD>first</TD></TR>\r\n"
                                "</TABLE>\r\n"));
    }

    void escapeAndEnterCloseNothing()
    {
        setEditorText(QStringLiteral("x"), 1);
        bool stillOpen = false;
        onNextModal([&](QWidget *dlg) {
            QTest::keyClick(child<QLineEdit>(dlg, "Cap"), Qt::Key_Escape);
            QTest::keyClick(child<QLineEdit>(dlg, "Cap"), Qt::Key_Return);
            QTest::keyClick(dlg, Qt::Key_Escape);
            stillOpen = dlg->isVisible();
            // Enter on the focused Cancel button presses it.
            auto *cancel = child<QPushButton>(dlg, "Button2");
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
            if (dlg->isVisible())
                click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QVERIFY(stillOpen);
        QCOMPARE(editor()->text(), QStringLiteral("x"));
    }

    void tabOrderFollowsTheLayout()
    {
        const QStringList expected{"Cap",     "Align",  "BorderW", "ColTitle", "RowTitle",
                                   "tablegrid", "Button1", "Button2", "ColInc", "ColDec",
                                   "RowInc",  "RowDec", "SaveTable", "opent"};
        QStringList order;
        QWidget *w = Table->findChild<QWidget *>(QStringLiteral("Cap"));
        for (int i = 0; i < 200 && order.size() < expected.size(); ++i, w = w->nextInFocusChain())
            if (expected.contains(w->objectName()) && !order.contains(w->objectName()))
                order << w->objectName();
        QCOMPARE(order, expected);
    }

    // Tab and Shift+Tab walk a grid's cells and leave it at its ends, from
    // any current cell; eight Tabs from the caption once never came back.
    void tabLeavesEachGridAtItsEnds_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("start"); // none, first, last, shrunk
        QTest::addColumn<bool>("forward");
        QTest::addColumn<QString>("reached");
        const struct { const char *grid, *before, *after; } grids[] = {
            {"ColTitle", "BorderW", "RowTitle"},
            {"RowTitle", "ColTitle", "tablegrid"},
            {"tablegrid", "RowTitle", "Button1"}};
        for (const auto &g : grids)
            for (const char *start : {"none", "first", "last", "shrunk"})
                for (bool forward : {true, false})
                    QTest::addRow("%s, %s cell, %s", g.grid, start, forward ? "Tab" : "Shift+Tab")
                        << g.grid << start << forward
                        << QString::fromLatin1(forward ? g.after : g.before);
    }
    void tabLeavesEachGridAtItsEnds()
    {
        QFETCH(QString, grid);
        QFETCH(QString, start);
        QFETCH(bool, forward);
        QFETCH(QString, reached);
        setEditorText(QStringLiteral("x"), 1);
        QString landed;
        onNextModal([&](QWidget *dlg) {
            auto *g = dlg->findChild<StringGrid *>(grid);
            auto *model = g->model();
            const int rows = model->rowCount(), cols = model->columnCount();
            if (start == QLatin1String("none"))
                g->setCurrentIndex({});
            else if (start == QLatin1String("first"))
                g->setCurrentIndex(model->index(0, 0));
            else
                g->setCurrentIndex(model->index(rows - 1, cols - 1));
            if (start == QLatin1String("shrunk")) {
                Table->ColDecClick();
                Table->RowDecClick();
            }
            g->setFocus();
            QTRY_VERIFY(g->hasFocus());
            // Enough presses to cross every cell, then one more.
            for (int i = 0; i <= rows * cols + 1 && QApplication::focusWidget() == g; ++i)
                QTest::keyClick(g, Qt::Key_Tab, forward ? Qt::NoModifier : Qt::ShiftModifier);
            for (QWidget *w = QApplication::focusWidget(); w && landed.isEmpty(); w = w->parentWidget())
                landed = w->objectName();
            click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(landed, reached);
        QCOMPARE(editor()->text(), QStringLiteral("x"));
    }

    void closingTheWindowInsertsNothing()
    {
        setEditorText(QStringLiteral("x"), 1);
        onNextModal([&](QWidget *dlg) {
            dlg->close();
            if (dlg->isVisible())
                click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(editor()->text(), QStringLiteral("x"));
    }

private:
    static QString THTMLDOC_skeleton()
    {
        return kSkeletonHead + QStringLiteral("\r\n</BODY>\r\n</HTML>");
    }
    ScriptedUi *m_ui = nullptr;
    int m_titleWidth = 0;
};

QTEST_MAIN(TestTable)
#include "tst_table.moc"
