#include "docinfo.h"
#include "currentdocument.h"
#include "editorbox.h"
#include "errors.h"
#include "htmldoc.h"
#include "localpathtourl.h"
#include "uiseam.h"
#include "ui_docinfo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

TDocInfo *DocInfo = nullptr;

namespace {
THTMLDOC *currentDoc()
{
    CurrentDocument *source = currentDocumentSource();
    return source ? source->currentDocument() : nullptr;
}
} // namespace

TDocInfo::TDocInfo(QWidget *parent)
    : TagDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(makeForm<Ui::DocInfo>(Captions::PlatformFont))
{
    setObjectName(QStringLiteral("DocInfo"));
    setFixedSize(422, 166);
    for (QLabel *l : {m_ui->Label2, m_ui->Label3, m_ui->Label4})
        l->setAutoFillBackground(true);

    auto click = [this](QPushButton *b, void (TDocInfo::*handler)()) {
        connect(b, &QPushButton::clicked, this, guarded([this, handler] { (this->*handler)(); }));
    };
    click(m_ui->OkBut, &TDocInfo::OkButClick);
    click(m_ui->CancelBut, &TDocInfo::CancelButClick);
    click(m_ui->Browse, &TDocInfo::BrowseClick);
    click(m_ui->BGColorChart, &TDocInfo::BGColorChartClick);
    click(m_ui->TxtChart, &TDocInfo::TxtChartClick);
    click(m_ui->LnkChart, &TDocInfo::LnkChartClick);
    connect(m_ui->bgcolor, &QLineEdit::textChanged, this, guarded([this] { bgcolorChange(); }));
    connect(m_ui->TextColor, &QLineEdit::textChanged, this,
            guarded([this] { TextColorChange(); }));
    connect(m_ui->LnkColor, &QLineEdit::textChanged, this, guarded([this] { LnkColorChange(); }));

    enterWalks({m_ui->Bckgrdpct, m_ui->bgcolor, m_ui->TextColor, m_ui->LnkColor, m_ui->OkBut});
}

TDocInfo::~TDocInfo() = default;

QString TDocInfo::HexByte(int value) { return hexByte(value); }
QString TDocInfo::ColorToHtml(int red, int green, int blue)
{
    return colorToHtml(red, green, blue);
}

std::optional<BodyAttributes> TDocInfo::ask()
{
    exec();
    if (m_cancelled)
        return std::nullopt;
    m_ui->Bckgrdpct->setText(LocalPathToUrl(m_ui->Bckgrdpct->text()));
    return BodyAttributes{m_ui->Bckgrdpct->text(), m_ui->bgcolor->text(),
                          m_ui->TextColor->text(), m_ui->LnkColor->text()};
}

void TDocInfo::setLabelColours(QLabel *label, const QColor *text, const QColor *background)
{
    QPalette pal = label->palette();
    if (text)
        pal.setColor(QPalette::WindowText, *text);
    if (background)
        pal.setColor(QPalette::Window, *background);
    label->setPalette(pal);
}

void TDocInfo::FormActivate()
{
    THTMLDOC *doc = currentDoc();
    if (doc && doc->bodyAttributes()) {
        m_ui->Bckgrdpct->setText(doc->bodyAttributes()->backgroundPicture);
        m_ui->bgcolor->setText(doc->bodyAttributes()->bgColor);
        m_ui->LnkColor->setText(doc->bodyAttributes()->linkColor);
        m_ui->TextColor->setText(doc->bodyAttributes()->textColor);
    } else {
        m_ui->Bckgrdpct->clear();
        m_ui->bgcolor->clear();
        m_ui->LnkColor->clear();
        m_ui->TextColor->clear();
        const QColor black(Qt::black);
        const QColor face = QApplication::palette().color(QPalette::Button);
        for (QLabel *l : {m_ui->Label2, m_ui->Label3, m_ui->Label4})
            setLabelColours(l, &black, &face);
    }
    m_ui->Bckgrdpct->setFocus();
    m_cancelled = false;
}

void TDocInfo::OkButClick()
{
    if (THTMLDOC *doc = currentDoc()) {
        doc->setBodyAttributes({m_ui->Bckgrdpct->text(), m_ui->bgcolor->text(),
                                m_ui->LnkColor->text(), m_ui->TextColor->text()});
    }
    accept();
}

void TDocInfo::CancelButClick()
{
    m_cancelled = true;
    reject();
}

void TDocInfo::BrowseClick()
{
    FileDialogRequest req; // the platform's own title
    req.filter = QStringLiteral("Picture Files|*.jpg;*.bmp;*.gif");
    const QString path = ui().openFileName(req);
    if (!path.isEmpty())
        m_ui->Bckgrdpct->setText(path);
}

void TDocInfo::pickColourInto(QLineEdit *field)
{
    QColor c = m_chartColor;
    if (!ui().chooseColor(c) || !c.isValid())
        return;
    // The previews follow the colour dialog's colour, so it is stored
    // before the field changes.
    m_chartColor = c.toRgb();
    field->setText(ColorToHtml(m_chartColor.red(), m_chartColor.green(), m_chartColor.blue()));
}

void TDocInfo::BGColorChartClick() { pickColourInto(m_ui->bgcolor); }
void TDocInfo::TxtChartClick() { pickColourInto(m_ui->TextColor); }
void TDocInfo::LnkChartClick() { pickColourInto(m_ui->LnkColor); }

void TDocInfo::bgcolorChange()
{
    const QColor white(Qt::white);
    const bool black = (m_chartColor.rgb() & 0xFFFFFF) == 0;
    for (QLabel *l : {m_ui->Label2, m_ui->Label3, m_ui->Label4})
        setLabelColours(l, black ? &white : nullptr, &m_chartColor);
}

void TDocInfo::TextColorChange() { setLabelColours(m_ui->Label3, &m_chartColor, nullptr); }
void TDocInfo::LnkColorChange() { setLabelColours(m_ui->Label4, &m_chartColor, nullptr); }

// No close box; a close asked by the window manager counts as "Cancel".
void TDocInfo::closedByFrame() { CancelButClick(); }

void WriteBodyAttributes(EditorBox *ed, const BodyAttributes &a)
{
    const int n = ed->lineCount();
    for (int i = 0; i < n; ++i) {
        const QString line = ed->line(i);
        if (bodyWordPos(line) < 0)
            continue;
        const QString rewritten = RewriteBodyLine(line, a);
        UndoStep step(ed);
        ed->replaceLine(i, rewritten);
        ed->setCaret(i, int(rewritten.size()));
        return;
    }
    // Without a BODY line there is nothing to rewrite; the values stay
    // remembered for the document all the same.
}
