#pragma once
// The folder open as the site (File > Open Folder): the folder pane shows
// it, and the site-wide commands (find in files, site check) work on it.
// At most one; none at first.
#include <QObject>
#include <QString>
#include <functional>

class SiteFolder : public QObject {
    Q_OBJECT
public:
    explicit SiteFolder(QObject *parent = nullptr) : QObject(parent) {}

    // Absolute and clean; empty while no folder is open.
    QString path() const { return m_path; }
    void setPath(const QString &folder);

    // The open folder, or, when none is, the one the user opens now
    // (the Open Folder dialog); empty when the user cancelled.
    QString pathOrAsk();
    // How pathOrAsk() asks (set by whoever owns File > Open Folder).
    void setAsker(std::function<QString()> ask) { m_ask = std::move(ask); }

signals:
    void changed(const QString &path);

private:
    QString m_path;
    std::function<QString()> m_ask;
};
