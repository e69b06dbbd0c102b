#include "listboxes.h"
#include "editorbox.h"
#include "errors.h"
#include "uiseam.h"
#include "icons.h"
#include "ui_listboxes.h"

#include <QPushButton>
#include <algorithm>

TListBoxes *ListBoxes = nullptr;

namespace {
constexpr int kItemHeight = 16;
} // namespace

TListBoxes::TListBoxes(QWidget *parent)
    : TagDialog(parent), m_ui(makeForm<Ui::TListBoxes>(Captions::SystemFontFitted))
{
    setObjectName(QStringLiteral("ListBoxes"));
    // Typed text is used exactly as typed, never completed to an entry.
    m_ui->NumStyle->setCompleter(nullptr);
    m_ui->LnkType->setCompleter(nullptr);
    setFixedSize(size());

    m_ui->NumStyle->addItems(ListMarkup::numberStyles());
    showEntry(m_ui->NumStyle, QStringLiteral("Numbered"));
    showEntry(m_ui->LnkType, QStringLiteral("http://"));
    m_ui->MoveUp->setIcon(buttonIcon(QStringLiteral("handup")));
    m_ui->MoveDn->setIcon(buttonIcon(QStringLiteral("handdown")));
    m_ui->MoveUp->setIconSize(QSize(16, 16));
    m_ui->MoveDn->setIconSize(QSize(16, 16));
    // A disabled Location shows grey instead of the window background.
    QPalette pal = m_ui->Location->palette();
    pal.setColor(QPalette::Disabled, QPalette::Base, QColor(192, 192, 192));
    m_ui->Location->setPalette(pal);

    // Enter in Items adds the item, or first asks for the link's location.
    onEnter(m_ui->Items, [this] {
        if (m_ui->lnk->isChecked())
            m_ui->Location->setFocus();
        else
            AddButClick();
    });
    onEnter(m_ui->Location, [this] { AddButClick(); });
    // Their focus-in enables or disables Add (eventFilter).
    m_ui->Items->installEventFilter(this);
    m_ui->Location->installEventFilter(this);
    connect(m_ui->AddBut, &QToolButton::clicked, this, guarded([this] { AddButClick(); }));
    connect(m_ui->Remove, &QPushButton::clicked, this, guarded([this] { RemoveClick(); }));
    connect(m_ui->MoveUp, &QToolButton::clicked, this, guarded([this] { MoveUpClick(); }));
    connect(m_ui->MoveDn, &QToolButton::clicked, this, guarded([this] { MoveDnClick(); }));
    connect(m_ui->SortBut, &QPushButton::clicked, this, guarded([this] { SortButClick(); }));
    connect(m_ui->Done, &QPushButton::clicked, this, guarded([this] { accept(); }));
    connect(m_ui->Cancel, &QPushButton::clicked, this, guarded([this] { CancelClick(); }));
    connect(m_ui->lnk, &QCheckBox::toggled, this, guarded([this] { lnkClick(); }));
    connect(m_ui->LnkType, &QComboBox::editTextChanged, this,
            guarded([this] { m_ui->Location->setFocus(); }));
    // Checked by a click or by the program alike.
    connect(m_ui->OrderedCK, &QRadioButton::toggled, this, guarded([this] {
        if (m_ui->OrderedCK->isChecked())
            OrderedCKClick();
    }));
    connect(m_ui->UnOrderCk, &QRadioButton::toggled, this, guarded([this] {
        if (m_ui->UnOrderCk->isChecked())
            UnOrderCkClick();
    }));
}

TListBoxes::~TListBoxes() = default;

std::optional<ListMarkup::Fields> TListBoxes::ask()
{
    exec();
    // A close by the frame is no "Cancel": the list is what the dialog holds.
    const QStringList all = items();
    if (all.isEmpty())
        return std::nullopt;
    return ListMarkup::Fields{m_ui->OrderedCK->isChecked(), m_ui->NumStyle->currentText(), all};
}

QStringList TListBoxes::items() const
{
    QStringList out;
    for (int i = 0; i < m_ui->ListBox->count(); ++i)
        out << m_ui->ListBox->item(i)->text();
    return out;
}

// The Ordered/Unordered choice and the Location text outlive an opening;
// everything else starts fresh.
void TListBoxes::FormActivate()
{
    m_ui->Location->setEnabled(false);
    m_ui->LnkType->setEnabled(false);
    showEntry(m_ui->LnkType, QStringLiteral("http://"));
    {
        const QSignalBlocker block(m_ui->lnk);
        m_ui->lnk->setChecked(false);
    }
    lnkClick();
    m_ui->ListBox->clear();
    m_ui->Items->clear();
    showEntry(m_ui->NumStyle, QStringLiteral("Numbered"));
    m_ui->Items->setFocus();
}

void TListBoxes::lnkClick()
{
    const bool link = m_ui->lnk->isChecked();
    m_ui->Location->setEnabled(link);
    m_ui->LnkType->setEnabled(link);
    m_ui->AddBut->setEnabled(!link);
    m_ui->Items->setFocus();
}

void TListBoxes::OrderedCKClick()
{
    m_ui->NumStyle->setEnabled(true);
    m_ui->Items->setFocus();
}

void TListBoxes::UnOrderCkClick()
{
    m_ui->NumStyle->setEnabled(false);
    m_ui->Items->setFocus();
}

// Add waits for a location while a link item is composed.
void TListBoxes::ItemsEnter()
{
    if (m_ui->lnk->isChecked() && m_ui->Location->text().isEmpty())
        m_ui->AddBut->setEnabled(false);
}

void TListBoxes::LocationEnter() { m_ui->AddBut->setEnabled(true); }

int TListBoxes::selectedRow() const
{
    // The selection, not the current row: Ctrl+click leaves a current row
    // with nothing selected.
    const QModelIndexList rows = m_ui->ListBox->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TListBoxes::select(int row)
{
    if (row < 0 || row >= m_ui->ListBox->count())
        m_ui->ListBox->setCurrentRow(-1);
    else
        m_ui->ListBox->setCurrentRow(row);
}

void TListBoxes::AddButClick()
{
    const QString text = m_ui->Items->text();
    const QString item = m_ui->lnk->isChecked()
        ? ListMarkup::linkItem(m_ui->LnkType->currentText(), m_ui->Location->text(), text)
        : text;
    auto *row = new QListWidgetItem(item);
    row->setSizeHint(QSize(0, kItemHeight));
    m_ui->ListBox->addItem(row);
    m_ui->Items->clear();
    m_ui->Location->clear();
    // The selection moves on by one: none selected gives the first item.
    select(selectedRow() + 1);
    // Back in Items, whose enter check disables Add again for a link item
    // (Items may have had the focus all along, so run it here).
    m_ui->Items->setFocus();
    ItemsEnter();
}

void TListBoxes::RemoveClick()
{
    QListWidget *list = m_ui->ListBox;
    const int row = selectedRow();
    // With no item selected there is nothing to remove.
    if (list->count() > 0 && row >= 0) {
        delete list->takeItem(row);
        select(list->count() ? qMax(row - 1, 0) : -1);
    }
    m_ui->Items->setFocus();
}

void TListBoxes::swapWithSelected(int offset)
{
    QListWidget *list = m_ui->ListBox;
    const int row = selectedRow();
    const int other = row + offset;
    if (row >= 0 && other >= 0 && other < list->count()) {
        const QString text = list->item(row)->text();
        list->item(row)->setText(list->item(other)->text());
        list->item(other)->setText(text);
        select(other);
    }
    m_ui->Items->setFocus();
}

void TListBoxes::MoveUpClick() { swapWithSelected(-1); }
void TListBoxes::MoveDnClick() { swapWithSelected(1); }

void TListBoxes::SortButClick()
{
    QStringList all = items();
    std::stable_sort(all.begin(), all.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    const int row = selectedRow();
    for (int i = 0; i < all.size(); ++i)
        m_ui->ListBox->item(i)->setText(all.at(i));
    select(row);
    m_ui->Items->setFocus();
}

void TListBoxes::CancelClick()
{
    m_ui->ListBox->clear();
    m_ui->lnk->setChecked(false);
    m_ui->Items->clear();
    m_ui->Location->clear();
    m_ui->AddBut->setEnabled(true);
    m_ui->OrderedCK->setChecked(true);
    m_ui->UnOrderCk->setChecked(false);
    reject();
}

bool TListBoxes::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_ui->Items && e->type() == QEvent::FocusIn)
        ItemsEnter();
    else if (watched == m_ui->Location && e->type() == QEvent::FocusIn)
        LocationEnter();
    return TagDialog::eventFilter(watched, e);
}
