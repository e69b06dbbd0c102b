#include "replacefilesdialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int kPreviewLines = 20;

// The line with its replacements made.
QString replacedLine(QString line, const QList<LineMatch> &matches, qsizetype first, qsizetype end)
{
    for (qsizetype i = end; i > first;) {
        const LineMatch &m = matches[--i];
        if (m.column + m.length <= line.size())
            line.replace(m.column, m.length, m.replacement);
    }
    return line;
}
} // namespace

ReplaceFilesDialog::ReplaceFilesDialog(const QList<FileMatches> &files, const QString &folder,
                                       QWidget *parent)
    : QDialog(parent), m_files(files)
{
    setObjectName(QStringLiteral("ReplaceInFiles"));
    setWindowTitle(QStringLiteral("Replace in Files"));
    auto *layout = new QVBoxLayout(this);
    int total = 0;
    for (const FileMatches &f : files)
        total += int(f.matches.size());
    layout->addWidget(new QLabel(QStringLiteral("%1 replacements in %2 files. Uncheck the files to "
                                                "leave as they are.")
                                     .arg(total)
                                     .arg(files.size()),
                                 this));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ReplaceFiles"));
    m_list->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Replacements")});
    m_list->setRootIsDecorated(false);
    const QDir root(folder);
    for (const FileMatches &f : files) {
        auto *item =
            new QTreeWidgetItem(m_list, {QDir::toNativeSeparators(root.relativeFilePath(f.path)),
                                         QString::number(f.matches.size())});
        item->setCheckState(0, Qt::Checked);
    }
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(m_list, 2);
    m_preview = new QPlainTextEdit(this);
    m_preview->setObjectName(QStringLiteral("ReplacePreview"));
    m_preview->setReadOnly(true);
    m_preview->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_preview, 1);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *replace =
        buttons->addButton(QStringLiteral("Replace"), QDialogButtonBox::AcceptRole);
    replace->setObjectName(QStringLiteral("Replace"));
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { preview(m_list->indexOfTopLevelItem(item)); });
    m_list->setCurrentItem(m_list->topLevelItem(0));
    resize(640, 480);
}

QList<FileMatches> ReplaceFilesDialog::chosen() const
{
    QList<FileMatches> out;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->checkState(0) == Qt::Checked)
            out << m_files[i];
    return out;
}

void ReplaceFilesDialog::preview(int index)
{
    QString text;
    if (index >= 0 && index < m_files.size()) {
        const FileMatches &f = m_files[index];
        int shown = 0;
        for (qsizetype i = 0; i < f.matches.size() && shown < kPreviewLines; ++shown) {
            const int line = f.matches[i].line;
            qsizetype j = i;
            while (j < f.matches.size() && f.matches[j].line == line)
                ++j;
            const QString old = f.lineText.value(line);
            text += QStringLiteral("%1: %2\n%1: %3\n")
                        .arg(line + 1)
                        .arg(old.trimmed(), replacedLine(old, f.matches, i, j).trimmed());
            i = j;
        }
    }
    m_preview->setPlainText(text);
}
