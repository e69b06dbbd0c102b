#include "pageload.h"
#include "freememory.h"
#include "pagetext.h"
#include "readahead.h"

StreamedText loadPage(PageText &text, const QString &path, qsizetype chunkBytes)
{
    text.beginLoad();
    try {
        const std::optional<StreamedText> got = streamTextFileAhead(
            path, [&](const QString &piece) { text.appendLoad(piece); }, kMaxTextFileBytes,
            QString(), chunkBytes);
        if (got) {
            text.finishLoad();
            returnFreedMemorySoon(); // the reading's buffers are gone now
            return *got;
        }
        // The file changed while it was read: read it again, whole.
        DecodedText d = readTextFile(path);
        StreamedText whole{d.encoding, hideEditorMarks(d.text), 0, d.guessed, d.kept};
        text.finishLoad(d.text);
        returnFreedMemorySoon();
        return whole;
    } catch (...) {
        text.abandonLoad();
        throw;
    }
}
