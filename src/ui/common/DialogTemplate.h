#pragma once
// One control of a dialog template: its id, text and place in dialog units.
// The windows lay themselves out from tables of these.
#include <QPushButton>

namespace kivo {

struct DialogControl {
    int id;
    const char* text;
    int x, y, width, height;
};

// A push button of a template. Only the dialog's OK answers Enter; no other
// button takes the default when it gets the focus.
inline QPushButton* MakeTemplateButton(QWidget* parent, const QString& text, bool isOk) {
    auto* push = new QPushButton(text, parent);
    push->setAutoDefault(false);
    if (isOk) push->setDefault(true);
    return push;
}

}  // namespace kivo
