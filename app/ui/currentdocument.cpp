#include "currentdocument.h"

namespace {
CurrentDocument *g_source = nullptr;
}

CurrentDocument *currentDocumentSource() { return g_source; }
void setCurrentDocumentSource(CurrentDocument *source) { g_source = source; }

EditorBox *ActiveEditor() { return g_source ? g_source->activeEditor() : nullptr; }

void BringMainToFront()
{
    if (g_source)
        g_source->bringToFront();
}
