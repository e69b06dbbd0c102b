#include "imageinfo.h"
#include "editorbox.h"
#include "errors.h"
#include "localpathtourl.h"
#include "uiseam.h"
#include "ui_imageinfo.h"

#include <QCloseEvent>
#include <QKeyEvent>

TImageInfo *ImageInfo = nullptr;

TImageInfo::TImageInfo(QWidget *parent)
    : TagDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(makeForm<Ui::ImageInfo>(Captions::PlatformFont))
{
    setObjectName(QStringLiteral("ImageInfo"));
    setFixedSize(448, 225);
    // The alignment is used exactly as typed: no completion from the items.
    m_ui->Align->setCompleter(nullptr);

    connect(m_ui->OkBut, &QPushButton::clicked, this, guarded([this] { OkButClick(); }));
    connect(m_ui->CancelBut, &QPushButton::clicked, this, guarded([this] { CancelButClick(); }));
    connect(m_ui->Browse, &QPushButton::clicked, this, guarded([this] { BrowseClick(); }));
    // Enter walks the fields in a fixed chain ending at "Ok" (the alignment
    // combo is not part of it).
    enterWalks({m_ui->Image, m_ui->Document, m_ui->Textonly, m_ui->Lable, m_ui->OkBut});
}

TImageInfo::~TImageInfo() = default;

std::optional<ImageFields> TImageInfo::ask(Fields fields)
{
    m_clearOnActivate = fields == Fields::Cleared;
    exec();
    if (m_cancelled)
        return std::nullopt;
    m_ui->Image->setText(LocalPathToUrl(m_ui->Image->text()));
    return ImageFields{m_ui->Image->text(), m_ui->Document->text(), m_ui->Textonly->text(),
                       m_ui->Lable->text(), m_ui->Align->currentText()};
}

void TImageInfo::FormActivate()
{
    m_cancelled = false;
    m_ui->Image->setFocus();
    if (m_clearOnActivate) {
        m_ui->Document->clear();
        m_ui->Textonly->clear();
        m_ui->Image->clear();
        m_ui->Align->setCurrentIndex(0);
        m_ui->Align->setEditText(QStringLiteral("Left"));
    }
    m_clearOnActivate = false;
}

void TImageInfo::OkButClick()
{
    m_cancelled = false;
    accept();
}

void TImageInfo::CancelButClick()
{
    m_cancelled = true;
    reject();
}

void TImageInfo::BrowseClick()
{
    FileDialogRequest req;
    req.title = QStringLiteral("Image");
    req.filter = QStringLiteral("Picture Files|*.jpg;*.bmp;*.gif");
    const QString path = ui().openFileName(req);
    if (!path.isEmpty())
        m_ui->Image->setText(path);
}

// The frame has no close box; a close asked by the window manager (Alt+F4)
// counts as "Cancel" so that nothing is inserted behind the user's back.
void TImageInfo::closedByFrame() { CancelButClick(); }
