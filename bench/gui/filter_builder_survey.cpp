// Times the Filter Builder's survey of a folder as the window runs it (on
// its worker thread, with the running count shown), and how long the
// window's event loop went without answering while it ran.
//
// Usage: bench_filter_builder_survey FOLDER [RUNS]
// Prints: "<files> files, survey <best seconds> s, longest event gap <ms> ms"
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QLabel>
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "ui/sets/FilterBuilderDialog.h"
#include "ui/sets/FilterBuilderTemplate.h"

using namespace kivo;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;

    double best = 1e9;
    qint64 longestGap = 0;
    QString totalFiles;
    for (int run = 0; run < runs; ++run) {
        FilterBuilderDialog dialog({folder}, true);
        dialog.show();
        QApplication::processEvents();

        // A 5 ms heartbeat: the gap between two beats is how long input
        // would have waited.
        QElapsedTimer sinceBeat;
        QTimer heartbeat;
        heartbeat.setInterval(5);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, sinceBeat.restart());
        });

        QEventLoop loop;
        QObject::connect(&dialog, &FilterBuilderDialog::surveyFinished, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        sinceBeat.start();
        heartbeat.start();
        dialog.StartSurvey();
        loop.exec();
        const double seconds = clock.nsecsElapsed() / 1e9;
        heartbeat.stop();
        best = std::min(best, seconds);
        totalFiles = dialog.valueLabel(filter_builder::ID_TOTAL_FILES)->text();
        std::fprintf(stderr, "run %d: %.3f s\n", run + 1, seconds);
    }
    std::printf("%s files, survey %.3f s, longest event gap %lld ms\n", qPrintable(totalFiles), best,
                static_cast<long long>(longestGap));
    return 0;
}
