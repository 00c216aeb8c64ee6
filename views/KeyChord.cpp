#include "views/KeyChord.h"

#include <Qt>

namespace kestiva {

bool KeyChord::press(int key, bool autoRepeat) {
    bool* held = key == Qt::Key_Control ? &ctrl_
                 : key == Qt::Key_Shift ? &shift_
                 : key == Qt::Key_F1    ? &f1_
                                        : nullptr;
    if (held == nullptr || autoRepeat)
        return false;
    *held = true;
    return ctrl_ && shift_ && f1_;
}

void KeyChord::release(int key, bool autoRepeat) {
    if (autoRepeat)
        return;
    if (key == Qt::Key_Control)
        ctrl_ = false;
    else if (key == Qt::Key_Shift)
        shift_ = false;
    else if (key == Qt::Key_F1)
        f1_ = false;
}

}  // namespace kestiva
