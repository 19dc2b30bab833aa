#include "ui/common/DialogUnits.h"

#include <QFontMetrics>

namespace kivo {

namespace {

// The average over the letters, rounded, as dialog managers have long
// measured it; a font's own "average width" field varies between formats.
int AverageCharWidth(const QFontMetrics& metrics) {
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = metrics.horizontalAdvance(letters);
    return (width / 26 + 1) / 2;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    baseX_ = qMax(1, AverageCharWidth(metrics));
    baseY_ = qMax(1, metrics.height());
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    // Edges are converted, not sizes, so adjacent controls stay adjacent.
    const int left = X(x);
    const int top = Y(y);
    return QRect(QPoint(left, top), QPoint(X(x + width) - 1, Y(y + height) - 1));
}

}  // namespace kivo
