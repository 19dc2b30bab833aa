// Renders the About box and the Configure box to PNG files, for the
// documentation. Run on the offscreen platform (scripts/screenshot-dialogs).
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "ui/main/AboutDialog.h"
#include "ui/main/ConfigureDialog.h"

using namespace kivo;

namespace {

// The box as it opens while the desktop launcher exists; nothing is changed.
class ShownActions : public ConfigureActions {
public:
    bool DesktopShortcutExists() override { return true; }
    bool CreateDesktopShortcut() override { return true; }
    bool DeleteDesktopShortcut() override { return true; }
    void Uninstall(QWidget*) override {}
};

bool Save(QWidget& window, const char* path) {
    window.show();
    QApplication::processEvents();
    if (window.grab().save(QString::fromLocal8Bit(path))) return true;
    std::fprintf(stderr, "cannot write %s\n", path);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ABOUT.png CONFIGURE.png\n", argv[0]);
        return 2;
    }
    AboutDialog about;
    ShownActions actions;
    ConfigureDialog configure(actions);
    return Save(about, argv[1]) && Save(configure, argv[2]) ? 0 : 1;
}
