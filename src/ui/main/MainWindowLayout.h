#pragma once
// How the main window's controls follow a change of its size: the lists and
// the operation group grow with the window, the set group keeps its width,
// and every button keeps its size and its distance from the bottom edge.
// The measures are taken once from the controls as the template placed them.
#include <QRect>

class QWidget;

namespace kivo {

struct MainWindowControls {
    QWidget* setGroup = nullptr;
    QWidget* operationGroup = nullptr;
    QWidget* setList = nullptr;
    QWidget* operationList = nullptr;
    QWidget* setNew = nullptr;
    QWidget* setProperty = nullptr;
    QWidget* setRemove = nullptr;
    QWidget* operationNew = nullptr;
    QWidget* operationProperty = nullptr;
    QWidget* operationRemove = nullptr;
    QWidget* run = nullptr;
    QWidget* about = nullptr;
    QWidget* configure = nullptr;
    QWidget* exit = nullptr;
};

// Distances of a pair of side-by-side boxes (the group boxes, or the lists)
// from the client edges and from each other.
struct PairMeasures {
    int top = 0;           // left box top - client top
    int bottomMargin = 0;  // client bottom - left box bottom
    int left = 0;          // left box left - client left
    int leftWidth = 0;
    int gap = 0;           // right box left - left box right
    int rightMargin = 0;   // client right - right box right
};

struct MainWindowMeasures {
    PairMeasures groups;
    PairMeasures lists;
    int aboutLeft = 0;
    int aboutBottomMargin = 0;
    int exitRightMargin = 0;
    int setNewLeft = 0;
    int setNewBottomMargin = 0;
    int operationNewLeft = 0;

    // Layout waits until the measures were taken.
    bool taken() const { return groups.top != 0; }
};

MainWindowMeasures TakeMeasures(const MainWindowControls& controls, const QRect& client);
void ApplyLayout(const MainWindowMeasures& measures, const MainWindowControls& controls,
                 const QRect& client);

}  // namespace kivo
