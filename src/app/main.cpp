// Kivo: named sets of files and folders, and the Delete, Copy, Move and Zip
// operations run on them.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/DesktopConfiguration.h"
#include "app/Shortcuts.h"
#include "app/Startup.h"
#include "ui/main/WindowLauncher.h"

namespace {

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

}  // namespace

int main(int argc, char** argv) {
    // Without a display Qt would abort with a platform-plugin error; say
    // plainly what is missing instead.
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "kivo: no display. Kivo is a desktop program and needs a graphical "
                     "session (DISPLAY or WAYLAND_DISPLAY).\n");
        return 1;
    }
    QApplication application(argc, argv);
    kivo::DesktopConfiguration configuration;
    kivo::SetConfigureActions(&configuration);
    return kivo::RunKivo(kivo::DefaultDialogLauncher(), kivo::CreateShortcutsOnFirstRun());
}
