#pragma once
// Dialog templates give positions in dialog units, which scale with the
// dialog's font: a horizontal unit is a quarter of the average character
// width, a vertical unit an eighth of the character height. Converting
// through the font keeps a template's proportions at any font size.
#include <QFont>
#include <QRect>

namespace kivo {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

    int X(int units) const { return units * baseX_ / 4; }
    int Y(int units) const { return units * baseY_ / 8; }
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }

private:
    int baseX_;
    int baseY_;
};

}  // namespace kivo
