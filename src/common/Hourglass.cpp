#include "common/Hourglass.h"

namespace {
TWaitPointer& waitPointer() {
    static TWaitPointer pointer;
    return pointer;
}
}  // namespace

void SetWaitPointer(TWaitPointer pointer) {
    waitPointer() = pointer;
}

THourglass::THourglass() {
    const TWaitPointer& pointer = waitPointer();
    if (pointer.show && pointer.restore) {
        pointer.show();
        m_active = true;
    }
}

THourglass::~THourglass() {
    if (m_active) {
        waitPointer().restore();
    }
}
