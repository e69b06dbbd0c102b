// The libFuzzer entry point of one target; the build names the target.
#include "fuzzchecks.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {
const FuzzChecks::Target *target()
{
    static const FuzzChecks::Target *t = FuzzChecks::findTarget(TAGLOOM_FUZZ_TARGET);
    return t;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (!target()) {
        std::fprintf(stderr, "no fuzz target named %s\n", TAGLOOM_FUZZ_TARGET);
        std::abort();
    }
    if (target()->needsWidgets) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QApplication app(*argc, *argv);
        // Loads the fonts once, before the leak checks of the first input.
        target()->check(QByteArrayLiteral("<A NAME=\"warm\"></A>"));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                     qsizetype(size));
    const QString broken = target()->check(input);
    if (!broken.isEmpty()) {
        std::fprintf(stderr, "\n%s: %s\n", TAGLOOM_FUZZ_TARGET, qPrintable(broken));
        std::abort();
    }
    return 0;
}
