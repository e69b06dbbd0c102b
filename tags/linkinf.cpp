#include "linkinf.h"
#include "editorbox.h"
#include "currentdocument.h"
#include "errors.h"
#include "linkmarkup.h"
#include "uiseam.h"
#include "ui_linkinf.h"

#include <QPushButton>

TLinkInf *LinkInf = nullptr;

TLinkInf::TLinkInf(QWidget *parent)
    : TagDialog(parent), m_ui(makeForm<Ui::TLinkInf>(Captions::SystemFont))
{
    setObjectName(QStringLiteral("LinkInf"));
    // Typed text is used exactly as typed, never completed to an entry.
    m_ui->Proto->setCompleter(nullptr);
    m_ui->TgtCh->setCompleter(nullptr);
    setFixedSize(size());
    showEntry(m_ui->Proto, QStringLiteral("http://"));

    enterWalks({m_ui->lnk, m_ui->Desc, m_ui->OK});
    connect(m_ui->Proto, &QComboBox::editTextChanged, this, guarded([this] { ProtoChange(); }));
    connect(m_ui->OK, &QPushButton::clicked, this, guarded([this] { accept(); }));
    connect(m_ui->Cancel, &QPushButton::clicked, this, guarded([this] { CancelClick(); }));
}

TLinkInf::~TLinkInf() = default;

std::optional<LinkMarkup::Fields> TLinkInf::ask()
{
    exec();
    // A close by the frame is no "Cancel": the link is what the fields hold.
    if (m_ui->lnk->text().isEmpty())
        return std::nullopt;
    return LinkMarkup::Fields{m_ui->Proto->currentText(), m_ui->lnk->text(),
                              m_ui->Desc->text(), m_ui->TgtCh->currentText()};
}

// Every opening starts fresh: nothing carries over from the last link.
void TLinkInf::FormActivate()
{
    m_ui->lnk->clear();
    m_ui->lnk->show();
    showEntry(m_ui->Proto, QStringLiteral("http://"));
    m_ui->Desc->clear();
    m_ui->TgtCh->hide();
    m_ui->TgtCh->clear();
    m_ui->lnk->setFocus();
    m_ui->Label1->setText(QStringLiteral("File/URL:"));
    m_ui->Label1->adjustSize(); // the label takes the width of its text
}

void TLinkInf::ProtoChange()
{
    m_ui->TgtCh->clear();
    m_ui->TgtCh->setEditText(QString());
    const QString proto = m_ui->Proto->currentText();
    if (proto != LinkMarkup::kTarget) {
        m_ui->lnk->show();
        m_ui->TgtCh->hide();
        m_ui->Label1->setText(proto == LinkMarkup::kMailto ? QStringLiteral("Email address:")
                                                           : QStringLiteral("File/URL:"));
        m_ui->Label1->adjustSize();
        m_ui->lnk->setFocus();
        return;
    }
    m_ui->lnk->hide();
    m_ui->TgtCh->show();
    const EditorBox *ed = ActiveEditor();
    const QStringList names = ed ? LinkMarkup::scanTargets(ed) : QStringList();
    m_ui->TgtCh->addItems(names);
    const QString first = names.isEmpty() ? QString() : names.first();
    m_ui->TgtCh->setEditText(first);
    // A target link needs a non-empty address to be written at all.
    m_ui->lnk->setText(first);
    m_ui->TgtCh->setFocus();
}

void TLinkInf::CancelClick()
{
    m_ui->lnk->clear();
    reject();
}
