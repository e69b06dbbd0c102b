#include "pageload.h"
#include "editorbox.h"
#include "freememory.h"

StreamedText loadPage(EditorBox &editor, const QString &path, qsizetype chunkBytes)
{
    editor.beginLoad();
    try {
        const std::optional<StreamedText> got = streamTextFile(
            path, [&](const QString &piece) { editor.appendLoad(piece); }, kMaxTextFileBytes,
            QString(), chunkBytes);
        if (got) {
            editor.finishLoad();
            returnFreedMemorySoon(); // the reading's buffers are gone now
            return *got;
        }
        // The file changed while it was read: read it again, whole.
        DecodedText d = readTextFile(path);
        StreamedText whole{d.encoding, hideEditorMarks(d.text), 0, d.guessed, d.kept};
        editor.finishLoad(d.text);
        returnFreedMemorySoon();
        return whole;
    } catch (...) {
        editor.abandonLoad();
        throw;
    }
}
