#pragma once
// Replace All in files asks first: the files with how many replacements
// each, a check box each, and the first changed lines of the one selected.
#include "sitesearch.h"

#include <QDialog>

class QPlainTextEdit;
class QTreeWidget;

class ReplaceFilesDialog : public QDialog {
    Q_OBJECT
public:
    // `files` each with its matches and replacements; paths shown relative
    // to `folder`.
    ReplaceFilesDialog(const QList<FileMatches> &files, const QString &folder,
                       QWidget *parent = nullptr);
    // The files still checked.
    QList<FileMatches> chosen() const;

private:
    void preview(int index);

    QList<FileMatches> m_files;
    QTreeWidget *m_list;
    QPlainTextEdit *m_preview;
};
