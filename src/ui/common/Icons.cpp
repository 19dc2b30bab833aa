#include "ui/common/Icons.h"

#include <QPainter>
#include <QSvgRenderer>

// The resources live in a static library: without an explicit reference the
// linker may drop their registration.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace kivo {

namespace {

bool KnownIcon(IconId id) {
    switch (id) {
    case ICON_PROGRAM:
    case ICON_DELETE:
    case ICON_COPY:
    case ICON_MOVE:
    case ICON_SET:
    case ICON_ZIP:
    case ICON_SAVED_MARKER:
    case ICON_UNZIP:
        return true;
    }
    return false;
}

}  // namespace

QPixmap IconPixmap(IconId id, int size) {
    static const bool registered = (InitIconResources(), true);
    (void)registered;
    if (!KnownIcon(id)) return QPixmap();
    QSvgRenderer renderer(QStringLiteral(":/kivo/icons/%1.svg").arg(static_cast<int>(id)));
    if (!renderer.isValid() || size <= 0) return QPixmap();
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(IconPixmap(ICON_PROGRAM, size));
    return icon;
}

}  // namespace kivo
