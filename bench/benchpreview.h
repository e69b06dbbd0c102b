#pragma once
// The preview's rows and the spelling rows, each run on its own.
#include <QJsonArray>

class QDir;
class QString;

namespace bench {

QJsonArray runPreview(const QDir &dir, double scale, int runs, const QString &only);
QJsonArray runSpelling(const QDir &dir, double scale, int runs, const QString &only);

} // namespace bench
