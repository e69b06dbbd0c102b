#pragma once
// File > Reopen with Encoding and Save with Encoding: the encodings by
// script, the current document's checked.
#include "charset.h"
#include <QObject>

class ActionRegistry;
class CurrentDocument;
class QMenu;
class QStatusBar;

class EncodingMenus : public QObject {
    Q_OBJECT
public:
    // `status` tells when a page saved declares another charset.
    EncodingMenus(ActionRegistry *actions, CurrentDocument *current, QStatusBar *status,
                  QObject *parent);

private:
    void rebuild(QMenu *menu, bool reopen);
    void saveWithEncoding(TextEncoding encoding);

    CurrentDocument *m_current;
    QStatusBar *m_status;
};
