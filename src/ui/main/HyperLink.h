#pragma once
// A text that acts as a web link: underlined in its parent's font, black
// and blue when the pointer is over it (on a dark palette the palette's own
// text and link colours, so it stays readable), with the pointing-hand
// cursor. It opens only when the button is released inside it, and opening
// does not block the window.
#include <QLabel>

namespace kivo {

class HyperLink : public QLabel {
public:
    HyperLink(const QString& text, QWidget* parent);

    // The address opened: the target when one is set, else the format (with
    // "%1" for the text) applied to the text, else the text itself.
    void setTarget(const QString& target) { target_ = target; }
    void setFormat(const QString& format) { format_ = format; }
    QString target();

    // Sizes the control to its text, so only the text is clickable. A
    // centred control keeps its centre, a right-aligned one its right edge,
    // any other its left edge; vertically a centred one keeps its middle,
    // any other its top.
    void FitToText();

    bool hovering() const { return hovering_; }
    QColor textColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetHovering(bool hovering);

    QString target_;
    QString format_;
    bool hovering_ = false;
    bool pressed_ = false;
};

}  // namespace kivo
