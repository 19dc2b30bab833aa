// Draws the zip viewer on a small archive with folders, for the
// documentation. Usage: kivo_render_zip_viewer OUTPUT.png ARCHIVE
// (scripts/screenshot-zip-viewer builds the archive).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>

#include "ui/main/WindowLauncher.h"
#include "ui/zipview/ZipViewer.h"

using namespace kivo;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.png ARCHIVE\n", argv[0]);
        return 2;
    }
    ZipViewer viewer(DefaultDialogLauncher(), nullptr, argv[2]);
    viewer.resize(720, 400);
    viewer.show();
    // The viewer loads its archive 100 ms after it is shown.
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 50);
    QTreeWidgetItem* top = viewer.tree()->topLevelItem(0);
    if (top == nullptr || top->childCount() == 0) {
        std::fprintf(stderr, "no folders in %s\n", argv[2]);
        return 1;
    }
    // The first folder, expanded, with two of its entries selected.
    QTreeWidgetItem* first = top->child(0);
    first->setExpanded(true);
    viewer.tree()->setCurrentItem(first);
    viewer.SortByColumn(0);
    viewer.list()->selectionModel()->select(
        viewer.list()->model()->index(1, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    viewer.list()->selectionModel()->select(
        viewer.list()->model()->index(2, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::processEvents();
    if (!viewer.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
