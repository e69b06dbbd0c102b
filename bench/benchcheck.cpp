#include "benchcheck.h"
#include "benchpages.h"
#include "benchsupport.h"
#include "editormarks.h"
#include "nuchecker.h"
#include "pagecheckservice.h"
#include "procfigures.h"

#include <QEventLoop>
#include <QJsonObject>

#include <cstdio>
#include <vector>

namespace bench {

namespace {
// One check until its result is told, in ms; NaN when the conformance
// checker did not check it (no Java, or it failed), which would time Tidy.
double checkOnce(PageCheckService &service, const QString &text, int *results)
{
    QEventLoop loop;
    quint64 ticket = 0;
    bool conformance = false;
    QObject::connect(&service, &PageCheckService::finished, &loop,
                     [&](quint64 t, const PageCheckResult &r) {
                         if (t != ticket)
                             return;
                         conformance = r.standard.contains(QLatin1String("living standard"));
                         if (!conformance)
                             std::fprintf(stderr, "page check: %s\n", qPrintable(r.standard));
                         *results = int(r.messages.size());
                         loop.quit();
                     });
    const double ms = timeMs([&] {
        ticket = service.check(text);
        loop.exec();
    });
    return conformance ? ms : NAN;
}
} // namespace

QJsonArray runPageCheck(double scale, int runs, const QString &only)
{
    QJsonArray out;
    std::printf("\npage check: hand-written page of today's HTML, conformance + advice "
                "(median of %d, ms; memory: the checker's resident MiB)\n",
                runs);
    std::printf("%-20s %12s %12s %12s %9s\n", "page", "first check", "warm check", "checker MiB",
                "results");
    for (const auto &[name, mb] :
         {std::pair{"110 KB", 0.11}, std::pair{"1 MB", 1.0}, std::pair{"8 MB", 8.0}}) {
        const QString label = QStringLiteral("hand-written %1").arg(QLatin1String(name));
        if (!label.contains(only))
            continue;
        // As the editor holds it: CR LF line breaks.
        const QString text =
            normalizeLineBreaks(QString::fromUtf8(handWrittenPage(qsizetype(mb * 1e6 * scale))));
        std::vector<double> first, warm, rss;
        int results = 0;
        for (int r = 0; r < runs; ++r) {
            // A fresh checker each run: the first check starts its JVM.
            NuChecker nu;
            PageCheckService service(&nu);
            first.push_back(checkOnce(service, text, &results));
            // The second of two more: by then its code is compiled.
            checkOnce(service, text, &results);
            warm.push_back(checkOnce(service, text, &results));
            rss.push_back(processRssMiB(nu.processId()));
        }
        std::printf("%-20s %12.1f %12.1f %12.1f %9d\n", qPrintable(label), median(first),
                    median(warm), median(rss), results);
        std::fflush(stdout);
        out.append(QJsonObject{{QStringLiteral("name"), label},
                               {QStringLiteral("MiB"), double(text.size()) / (1 << 20)},
                               {QStringLiteral("first check, checker starting ms"), median(first)},
                               {QStringLiteral("warm check ms"), median(warm)},
                               {QStringLiteral("checker memory MiB"), median(rss)}});
    }
    return out;
}

} // namespace bench
