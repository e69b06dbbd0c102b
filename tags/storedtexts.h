#pragma once
// Texts kept by (column, row) independently of any grid size: a grid that
// shrinks hides its outer texts without losing them, and a position that was
// never written reads as empty.
#include <QHash>
#include <QString>

class StoredTexts {
public:
    QString text(int col, int row) const { return m_texts.value(key(col, row)); }
    // An empty text frees the position.
    void setText(int col, int row, const QString &text);
    void clear() { m_texts.clear(); }
    int storedCount() const { return int(m_texts.size()); }
    // Moves every text of column `from` to column `to`, shifting the columns
    // between them by one, as dragging a column to another place does.
    void moveColumn(int from, int to);

private:
    static quint64 key(int col, int row) { return (quint64(quint32(col)) << 32) | quint32(row); }
    QHash<quint64, QString> m_texts;
};
