// Renders the main window with sample sets and operations to a PNG, for the
// documentation. Run on the offscreen platform with a temporary data folder
// (scripts/screenshot-main-window does both).
#include <QApplication>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QPixmap>
#include <cstdio>
#include <memory>

#include "model/OperationList.h"
#include "model/SetList.h"
#include "platform/FileTime.h"
#include "platform/Paths.h"
#include "ui/main/DragPayload.h"
#include "ui/main/MainWindow.h"
#include "ui/main/OperationListWidget.h"
#include "ui/main/SetListWidget.h"
#include "ui/main/WindowLauncher.h"

using namespace kivo;

namespace {

void WriteSampleStores() {
    SetList sets;
    for (const char* name : {"Documents", "Photos 2024", "Projects", "Mail Archive", "Music"}) {
        auto set = std::make_unique<FileSet>();
        set->name = name;
        auto entry = std::make_unique<SetEntry>();
        entry->path = std::string("/home/user/") + name;
        set->entries.push_back(std::move(entry));
        sets.sets.push_back(std::move(set));
    }
    sets.Save(SetStorePath(DataFolder()));

    FileTime lastRun = 0;
    UtcPartsToFileTime(TimeParts{2024, 3, 7, 9, 5, 2}, lastRun);
    OperationList operations;
    auto add = [&operations](int kind, const char* setName, FileTime ran) {
        auto operation = std::make_unique<Operation>();
        operation->kind = kind;
        operation->setName = setName;
        operation->destination = "/media/backup";
        operation->lastRun = ran;
        operations.operations.push_back(std::move(operation));
    };
    add(OPERATION_COPY, "Documents", lastRun);
    add(OPERATION_ZIP, "Projects", 0);
    add(OPERATION_MOVE, "Mail Archive", lastRun + 36ULL * 3600 * kTicksPerSecond);
    operations.Save(BindingStorePath(DataFolder()));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [WIDTHxHEIGHT]\n", argv[0]);
        return 2;
    }
    WriteSampleStores();
    MainWindow window(DefaultDialogLauncher());
    window.show();
    if (argc > 2) {
        // The size a maximised window would have on a given screen.
        const QStringList size = QString::fromLocal8Bit(argv[2]).split(QLatin1Char('x'));
        if (size.size() == 2) window.resize(size[0].toInt(), size[1].toInt());
    }
    QApplication::processEvents();

    // One set selected and being dragged over the Zip icon.
    window.setList()->setCurrentRow(2);
    OperationListWidget* operations = window.operationList();
    std::unique_ptr<QMimeData> payload(MakeSetDragData("Projects"));
    const QPoint overZip = operations->visualItemRect(operations->item(3)).center();
    QDragEnterEvent enter(overZip, Qt::CopyAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(operations->viewport(), &enter);
    QDragMoveEvent move(overZip, Qt::CopyAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(operations->viewport(), &move);
    QApplication::processEvents();

    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
