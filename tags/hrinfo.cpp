#include "hrinfo.h"
#include "clampedspinbox.h"
#include "editorbox.h"
#include "errors.h"
#include "uiseam.h"
#include "ui_hrinfo.h"

#include <QCloseEvent>
#include <QKeyEvent>

THRInfo *HRInfo = nullptr;

THRInfo::THRInfo(QWidget *parent)
    : TagDialog(parent), m_ui(makeForm<Ui::HRInfo>(Captions::SystemFontFitted))
{
    setObjectName(QStringLiteral("HRInfo"));
    // An ordinary resizable frame; 252 x 241 outside at 200,105.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    move(200, 105);
    keepOnScreen(this);
    m_ui->Alignment->setCompleter(nullptr); // the text is used exactly as typed
    connect(m_ui->Ok, &QPushButton::clicked, this, guarded([this] { OkClick(); }));
    connect(m_ui->Cancel, &QPushButton::clicked, this, guarded([this] { CancelClick(); }));
}

THRInfo::~THRInfo() = default;

std::optional<HorizRuleFields> THRInfo::ask()
{
    exec();
    if (m_cancelled)
        return std::nullopt;
    // Read from the text, so a value still being typed is clamped the same
    // way as when the field loses the focus.
    return HorizRuleFields{m_ui->Width->currentValue(), m_ui->Percent->isChecked(),
                           m_ui->size->currentValue(), m_ui->Alignment->currentText(),
                           m_ui->shade->isChecked()};
}

void THRInfo::FormActivate()
{
    m_cancelled = false;
    m_ui->Width->showValue(100);
    m_ui->size->showValue(1);
    m_ui->Alignment->setCurrentIndex(-1);
    m_ui->Alignment->setEditText(QString());
    m_ui->shade->setChecked(true);
    m_ui->Percent->setChecked(true);
    m_ui->Width->setFocus();
}

void THRInfo::OkClick() { accept(); }

void THRInfo::CancelClick()
{
    m_cancelled = true;
    reject();
}

// Closing by the title bar is no cancel: the tag is inserted as
// with "Ok".
void THRInfo::closedByFrame() { OkClick(); }
