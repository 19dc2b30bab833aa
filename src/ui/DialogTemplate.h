#pragma once
// One control of a dialog template: its id, text and place in dialog units.
// The windows lay themselves out from tables of these.
namespace kivo {

struct DialogControl {
    int id;
    const char* text;
    int x, y, width, height;
};

}  // namespace kivo
