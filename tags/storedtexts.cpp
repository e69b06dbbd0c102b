#include "storedtexts.h"

void StoredTexts::setText(int col, int row, const QString &text)
{
    if (text.isEmpty())
        m_texts.remove(key(col, row));
    else
        m_texts.insert(key(col, row), text);
}

void StoredTexts::moveColumn(int from, int to)
{
    if (from == to)
        return;
    const int lo = qMin(from, to), hi = qMax(from, to);
    QHash<quint64, QString> moved;
    for (auto it = m_texts.begin(); it != m_texts.end();) {
        const int col = int(quint32(it.key() >> 32));
        if (col < lo || col > hi) {
            ++it;
            continue;
        }
        const int row = int(quint32(it.key()));
        int target = col;
        if (col == from)
            target = to;
        else
            target = from < to ? col - 1 : col + 1;
        moved.insert(key(target, row), it.value());
        it = m_texts.erase(it);
    }
    m_texts.insert(moved);
}
