#include "ui/main/HyperLink.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace kivo {

namespace {

const QColor kNormalText{0, 0, 0};
const QColor kHoverText{0, 0, 255};

bool IsDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

}  // namespace

HyperLink::HyperLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
    QFont underlined = parent != nullptr ? parent->font() : font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
}

QString HyperLink::target() {
    if (target_.isEmpty()) target_ = format_.isEmpty() ? text() : format_.arg(text());
    return target_;
}

void HyperLink::FitToText() {
    const QFontMetrics metrics(font());
    // The frame and margins stay around the text.
    const int width = metrics.horizontalAdvance(text()) + (this->width() - contentsRect().width());
    const int height = metrics.height() + (this->height() - contentsRect().height());
    const QRect old = geometry();
    QRect fitted(old.topLeft(), QSize(width, height));
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignHCenter) {
        fitted.moveLeft(old.left() + (old.width() - width) / 2);
    } else if (align & Qt::AlignRight) {
        fitted.moveRight(old.right());
    }
    if (align & Qt::AlignVCenter) fitted.moveTop(old.top() + (old.height() - height) / 2);
    setGeometry(fitted);
}

QColor HyperLink::textColour() const {
    const QPalette& colours = palette();
    if (IsDark(colours)) {
        return colours.color(hovering_ ? QPalette::Link : QPalette::WindowText);
    }
    return hovering_ ? kHoverText : kNormalText;
}

void HyperLink::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(textColour());
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
}

void HyperLink::SetHovering(bool hovering) {
    if (hovering_ == hovering) return;
    hovering_ = hovering;
    update();
}

void HyperLink::enterEvent(QEnterEvent*) { SetHovering(true); }

void HyperLink::leaveEvent(QEvent*) { SetHovering(false); }

void HyperLink::mousePressEvent(QMouseEvent* event) {
    // Qt keeps delivering the mouse to this control until the release.
    if (event->button() == Qt::LeftButton) pressed_ = true;
}

void HyperLink::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_) return;
    const bool inside = rect().contains(event->position().toPoint());
    setCursor(inside ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    setCursor(Qt::PointingHandCursor);
    const bool inside = rect().contains(event->position().toPoint());
    SetHovering(false);
    // The desktop's opener runs as a process of its own: nothing waits here.
    if (inside) QDesktopServices::openUrl(QUrl(target()));
}

}  // namespace kivo
