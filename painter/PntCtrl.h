#pragma once
#include "painter/PaintControl.h"

// The catalogue's paint control: status texts from its own table, the paste
// question in a message box it owns.
class CPntCtrl : public CPaintControl {
public:
    CPntCtrl() : CPaintControl(kCatalogue) {}
};

// The recorder's paint control: status texts and the paste question from the
// string table.
class MyCPntCtrl : public CPaintControl {
public:
    MyCPntCtrl() : CPaintControl(kRecorder) {}
};
