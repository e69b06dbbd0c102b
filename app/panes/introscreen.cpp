#include "introscreen.h"
#include "uiseam.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextEdit>

TIntroScreen *IntroScreen = nullptr;
TAboutHTML *AboutHTML = nullptr;

namespace {
QFont timesFont(int px, bool bold, bool italic = false, bool underline = false)
{
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    return f;
}

QLabel *label(QWidget *parent, const char *name, const QRect &r, const QString &text,
              const QFont &font)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(r);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(font);
    return l;
}

// The splash picture: a quill over a page, drawn to fill its box.
class QuillPicture : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(width() / 53.0, height() / 101.0);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(250, 250, 240));
        p.drawRect(QRectF(4, 50, 45, 48));
        for (int y = 60; y < 95; y += 7)
            p.drawLine(QPointF(10, y), QPointF(43, y));
        QPainterPath feather;
        feather.moveTo(14, 88);
        feather.cubicTo(10, 60, 30, 20, 48, 4);
        feather.cubicTo(44, 30, 34, 60, 14, 88);
        p.setBrush(Qt::white);
        p.drawPath(feather);
        p.drawLine(QPointF(14, 88), QPointF(40, 20));
    }
};
} // namespace

TIntroScreen::TIntroScreen(int intervalMs, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("IntroScreen"));
    setFixedSize(298, 224);
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, 298, 224);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(4);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(0, 128, 128));
    pal.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(pal);
    panel->setFont(timesFont(16, true));
    QLabel *title = label(panel, "Label1", QRect(12, 20, 273, 33),
                          QStringLiteral("Tagloom HTML "), timesFont(29, true, true, true));
    title->setAutoFillBackground(true);
    label(panel, "Label2", QRect(12, 56, 273, 19), QStringLiteral("Version: 1.0 Beta 5"),
          timesFont(16, true, true));
    auto *image = new QuillPicture(panel);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(116, 76, 53, 101);
    image->setEnabled(false);
    label(panel, "Label3", QRect(12, 176, 273, 15),
          QStringLiteral("Hand-written HTML, one tag at a time"), timesFont(13, true));
    label(panel, "Label4", QRect(12, 192, 273, 17), QStringLiteral("Starting up..."),
          timesFont(11, true, true));
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    keepOnScreen(this);

    m_timer.setInterval(intervalMs);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { Timer1Timer(); });
    m_timer.start(); // counts from creation, not from showing
}

void TIntroScreen::Timer1Timer()
{
    m_timer.stop();
    m_closing = true;
    done(QDialog::Accepted);
    emit timeUp();
}

// The splash takes no input: neither Escape nor the window manager closes it.
void TIntroScreen::keyPressEvent(QKeyEvent *e) { e->accept(); }

void TIntroScreen::closeEvent(QCloseEvent *e)
{
    if (m_closing)
        e->accept();
    else
        e->ignore();
}

TAboutHTML::TAboutHTML(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutHTML"));
    setWindowTitle(QStringLiteral("Tagloom Html 1.0 beta 5"));
    setFixedSize(409, 277);
    auto *memo = new QTextEdit(this);
    memo->setObjectName(QStringLiteral("Memo1"));
    memo->setGeometry(4, 4, 401, 201);
    memo->setReadOnly(true);
    memo->setFont(timesFont(13, true));
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setFocusPolicy(Qt::ClickFocus);
    const QStringList lines = {
        QStringLiteral("Tagloom HTML"),
        QStringLiteral("A small editor for hand-written HTML pages."),
        QString(),
        QStringLiteral("Select text and press a button of the Tools! palette,"),
        QStringLiteral("the button bar or the menus: the markup goes in"),
        QStringLiteral("exactly as shown, in upper case, at the caret."),
        QString(),
        QStringLiteral("Images, links, targets, lists, tables, rules and the"),
        QStringLiteral("page's BODY attributes each have a small dialog."),
        QString(),
        QStringLiteral("Preferences are kept in vezezu.ini."),
    };
    memo->setPlainText(lines.join(QLatin1Char('\n')));
    QTextCursor c(memo->document());
    c.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.mergeBlockFormat(centred);
    const QFont navyFont = font();
    QLabel *l1 = label(this, "Label1", QRect(0, 208, 405, 16),
                       QStringLiteral("Version 1.0 beta 5"), navyFont);
    QLabel *l2 = label(this, "Label2", QRect(0, 228, 409, 16),
                       QStringLiteral("Built with C++17 and Qt 6"), navyFont);
    for (QLabel *l : {l1, l2}) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
        l->setPalette(pal);
    }
    auto *ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                               QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setGeometry(155, 246, 77, 27);
    QFont okFont(QStringLiteral("MS Sans Serif"));
    okFont.setPixelSize(11);
    okFont.setBold(true);
    ok->setFont(okFont);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
}

void TAboutHTML::showEvent(QShowEvent *e)
{
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    keepOnScreen(this);
    QDialog::showEvent(e);
    if (auto *ok = findChild<QPushButton *>(QStringLiteral("OKButton")))
        ok->setFocus();
}
