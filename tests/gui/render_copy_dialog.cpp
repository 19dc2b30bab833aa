// Renders a Copy run dialog in the middle of a real run to a PNG, for the
// documentation: a set of small sample files is made in the data folder's
// scratch space and copied, and the dialog is grabbed once the bar has
// moved. Run on the offscreen platform with throw-away folders
// (scripts/screenshot-copy-dialog does both).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>

#include "model/Operation.h"
#include "model/SetList.h"
#include "platform/Paths.h"
#include "ui/main/WindowLauncher.h"
#include "ui/run/RunDialogFactory.h"

using namespace kivo;

namespace {

// 40 folders of 500 files of 1 KiB under `root`.
bool MakeSampleFiles(const QString& root) {
    const QByteArray bytes(1024, 'k');
    for (int folder = 0; folder < 40; ++folder) {
        const QString path = QString("%1/Photos 2024/roll%2").arg(root).arg(folder, 2, 10, QChar('0'));
        if (!QDir().mkpath(path)) return false;
        for (int file = 0; file < 500; ++file) {
            QFile out(QString("%1/img%2.jpg").arg(path).arg(file, 4, 10, QChar('0')));
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString scratch = QString::fromStdString(DataFolder("scratch"));
    if (!MakeSampleFiles(scratch)) {
        std::fprintf(stderr, "cannot make the sample files in %s\n", qPrintable(scratch));
        return 1;
    }
    SetList sets;
    auto set = std::make_unique<FileSet>();
    set->name = "Photos 2024";
    auto entry = std::make_unique<SetEntry>();
    entry->path = (scratch + "/Photos 2024").toStdString();
    set->entries.push_back(std::move(entry));
    sets.sets.push_back(std::move(set));
    sets.Save(SetStorePath(DataFolder()));

    Operation saved;
    saved.kind = OPERATION_COPY;
    saved.setName = "Photos 2024";
    saved.destination = (scratch + "/backup").toStdString();
    saved.overwriteMode = OVERWRITE_IF_OLDER;
    std::unique_ptr<RunDialogBase> dialog =
        MakeRunDialog(OPERATION_COPY, saved.setName, &saved, DefaultDialogLauncher(), nullptr);

    // Grab as soon as the painted bar stands between a quarter and three
    // quarters, then stop the run.
    bool grabbed = false;
    bool saveFailed = false;
    auto* bar = static_cast<QProgressBar*>(dialog->control(ID_PROGRESS_BAR));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (grabbed || bar->value() < 25 || bar->value() > 75) return;
        grabbed = true;
        saveFailed = !dialog->grab().save(QString::fromLocal8Bit(argv[1]));
        dialog->reject();
    });
    poll.start(2);
    dialog->exec();
    if (!grabbed || saveFailed) {
        std::fprintf(stderr, grabbed ? "cannot write %s\n" : "the run ended before %s was taken\n",
                     argv[1]);
        return 1;
    }
    return 0;
}
