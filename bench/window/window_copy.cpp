// Runs one saved Copy through the desktop program's run dialog, exactly as
// the Operation list does (auto-start, real worker thread, painted
// progress), and prints how long the run took and how often the dialog
// painted its counter and bar.
//
// bench_window_copy SOURCE_FOLDER DESTINATION
// The set store is written to the program's own data folder (a set "bench"
// with SOURCE_FOLDER as its only entry), which it prints first, so that
// kivo-cli can run the same set with --data-dir.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "model/Operation.h"
#include "model/SetList.h"
#include "platform/Paths.h"
#include "ui/common/DialogRunSink.h"
#include "ui/main/WindowLauncher.h"
#include "ui/run/RunDialogFactory.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_window_copy SOURCE_FOLDER DESTINATION\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace kivo;

    const std::string dataFolder = DataFolder();
    SetList sets;
    auto set = std::make_unique<FileSet>();
    set->name = "bench";
    auto entry = std::make_unique<SetEntry>();
    entry->path = argv[1];
    set->entries.push_back(std::move(entry));
    sets.sets.push_back(std::move(set));
    if (!sets.Save(SetStorePath(dataFolder))) {
        std::fprintf(stderr, "cannot write the set store in %s\n", dataFolder.c_str());
        return 1;
    }
    std::printf("data %s\n", dataFolder.c_str());

    Operation saved;
    saved.kind = OPERATION_COPY;
    saved.setName = "bench";
    saved.destination = argv[2];
    saved.overwriteMode = OVERWRITE_IF_OLDER;
    std::unique_ptr<RunDialogBase> dialog =
        MakeRunDialog(OPERATION_COPY, saved.setName, &saved, DefaultDialogLauncher(), nullptr);

    QElapsedTimer clock;
    clock.start();
    const int result = dialog->exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const int paints = dialog->sink()->paintCount();
    std::printf("result %s\nseconds %.3f\npaints %d\npaints_per_second %.1f\n",
                result == QDialog::Accepted ? "done" : "not-done", seconds, paints,
                seconds > 0 ? paints / seconds : 0.0);
    return result == QDialog::Accepted ? 0 : 1;
}
