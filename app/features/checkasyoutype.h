#pragma once
// Tools > Check As You Type: every document's page checked a moment after
// typing pauses (livecheck.h), through the main window's one page check.
// On unless switched off; the choice is kept in the user's state.
#include <QObject>

class ActionRegistry;
class DocumentTable;
class PageCheckService;

class CheckAsYouType : public QObject {
    Q_OBJECT
public:
    CheckAsYouType(ActionRegistry *actions, DocumentTable *docs, PageCheckService *service,
                   QObject *parent);

private:
    void setEnabled(bool on);

    DocumentTable *m_docs;
    bool m_enabled;
};
