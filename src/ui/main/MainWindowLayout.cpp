#include "ui/main/MainWindowLayout.h"

#include <QWidget>

namespace kivo {

namespace {

// Right and bottom edges as exclusive coordinates, the way client
// rectangles are measured, so that a margin of 0 means flush with the edge.
int RightOf(const QRect& r) { return r.x() + r.width(); }
int BottomOf(const QRect& r) { return r.y() + r.height(); }

PairMeasures MeasurePair(const QWidget* leftBox, const QWidget* rightBox, const QRect& client) {
    const QRect a = leftBox->geometry();
    const QRect b = rightBox->geometry();
    PairMeasures m;
    m.top = a.y() - client.y();
    m.bottomMargin = BottomOf(client) - BottomOf(a);
    m.left = a.x() - client.x();
    m.leftWidth = a.width();
    m.gap = b.x() - RightOf(a);
    m.rightMargin = RightOf(client) - RightOf(b);
    return m;
}

void PlacePair(const PairMeasures& m, QWidget* leftBox, QWidget* rightBox, const QRect& client) {
    const int x = client.x() + m.left;
    const int y = client.y() + m.top;
    const int height = BottomOf(client) - m.bottomMargin - y;
    leftBox->setGeometry(x, y, m.leftWidth, height);
    const int rightX = x + m.leftWidth + m.gap;
    rightBox->setGeometry(rightX, y, RightOf(client) - m.rightMargin - rightX, height);
    // Repainted at once, not when the event loop gets to it, so a maximise
    // shows no half-drawn frame.
    leftBox->repaint();
    rightBox->repaint();
}

// Places the buttons of `row` with `size`, the first at (x, y) and each
// next one a pixel right of the one before.
void PlaceRow(int x, int y, const QSize& size, std::initializer_list<QWidget*> row) {
    for (QWidget* button : row) {
        button->setGeometry(QRect(QPoint(x, y), size));
        x += size.width() + 1;
    }
}

}  // namespace

MainWindowMeasures TakeMeasures(const MainWindowControls& c, const QRect& client) {
    MainWindowMeasures m;
    m.groups = MeasurePair(c.setGroup, c.operationGroup, client);
    m.lists = MeasurePair(c.setList, c.operationList, client);
    const QRect about = c.about->geometry();
    m.aboutLeft = about.x() - client.x();
    m.aboutBottomMargin = BottomOf(client) - BottomOf(about);
    m.exitRightMargin = RightOf(client) - RightOf(c.exit->geometry());
    const QRect setNew = c.setNew->geometry();
    m.setNewLeft = setNew.x() - client.x();
    m.setNewBottomMargin = BottomOf(client) - BottomOf(setNew);
    m.operationNewLeft = c.operationNew->geometry().x() - client.x();
    return m;
}

void ApplyLayout(const MainWindowMeasures& m, const MainWindowControls& c, const QRect& client) {
    if (!m.taken()) return;
    PlacePair(m.groups, c.setGroup, c.operationGroup, client);
    PlacePair(m.lists, c.setList, c.operationList, client);

    const QSize bottomSize = c.about->size();
    const int bottomY = BottomOf(client) - m.aboutBottomMargin - bottomSize.height();
    PlaceRow(client.x() + m.aboutLeft, bottomY, bottomSize, {c.about, c.configure});
    c.exit->setGeometry(QRect(
        QPoint(RightOf(client) - m.exitRightMargin - bottomSize.width(), bottomY), bottomSize));

    const QSize setSize = c.setNew->size();
    const int buttonsY = BottomOf(client) - m.setNewBottomMargin - setSize.height();
    PlaceRow(client.x() + m.setNewLeft, buttonsY, setSize, {c.setNew, c.setProperty, c.setRemove});
    const QSize operationSize = c.operationNew->size();
    PlaceRow(client.x() + m.operationNewLeft, buttonsY, operationSize,
             {c.operationNew, c.operationProperty, c.operationRemove, c.run});
}

}  // namespace kivo
