#include "renamereview.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int kIndexRole = Qt::UserRole + 1;

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }
} // namespace

RenameReview::RenameReview(const RenamePlan &plan, QWidget *parent)
    : QDialog(parent), m_list(new QTreeWidget(this)), m_count(plan.changes.size())
{
    setObjectName(QStringLiteral("RenameReview"));
    setWindowTitle(QStringLiteral("Rename"));
    auto *layout = new QVBoxLayout(this);
    int changing = 0;
    for (const RenameChange &c : plan.changes)
        changing += c.caseOnly ? 0 : 1;
    QString head = QStringLiteral("Rename %1 to %2.").arg(shown(plan.from), shown(plan.to));
    head += changing == 0 ? QStringLiteral("\nNo reference to it needs to change.")
                          : QStringLiteral("\n%1 reference(s) will change:").arg(changing);
    if (!plan.unread.isEmpty())
        head += QStringLiteral("\nNot read: %1").arg(plan.unread.join(QStringLiteral("; ")));
    auto *label = new QLabel(head, this);
    label->setObjectName(QStringLiteral("Summary"));
    label->setWordWrap(true);
    layout->addWidget(label);

    m_list->setObjectName(QStringLiteral("Changes"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels(
        {QStringLiteral("File / line"), QStringLiteral("Reference"), QStringLiteral("Becomes")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QTreeWidgetItem *fileRow = nullptr;
    QString file;
    for (qsizetype i = 0; i < plan.changes.size(); ++i) {
        const RenameChange &c = plan.changes.at(i);
        if (!fileRow || c.file != file) {
            file = c.file;
            fileRow = new QTreeWidgetItem(m_list, {shown(file)});
            fileRow->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
            fileRow->setExpanded(true);
        }
        auto *row = new QTreeWidgetItem(
            fileRow, {QString::number(c.line + 1), c.before.trimmed(),
                      c.caseOnly ? QStringLiteral("(left alone: only its case differs)")
                                 : c.after.trimmed()});
        row->setData(0, kIndexRole, qlonglong(i));
        if (c.caseOnly) {
            row->setFlags(Qt::NoItemFlags);
        } else {
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            row->setCheckState(0, Qt::Checked);
        }
    }
    // A file whose rows are all left alone has nothing to check.
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *top = m_list->topLevelItem(i);
        bool any = false;
        for (int k = 0; k < top->childCount(); ++k)
            any = any || (top->child(k)->flags() & Qt::ItemIsUserCheckable);
        if (!any)
            top->setFlags(Qt::ItemIsEnabled);
    }
    layout->addWidget(m_list);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Rename"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 400);
}

QList<bool> RenameReview::chosen() const
{
    QList<bool> out(m_count, false);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *top = m_list->topLevelItem(i);
        for (int k = 0; k < top->childCount(); ++k) {
            const QTreeWidgetItem *row = top->child(k);
            if (row->checkState(0) == Qt::Checked)
                out[row->data(0, kIndexRole).toLongLong()] = true;
        }
    }
    return out;
}
