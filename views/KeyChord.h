#pragma once
// The receive-buffer dump's key chord: Ctrl, Shift and F1 held together, whichever of them goes
// down last. The keys' own events are followed; the modifiers an event carries count too, for a
// modifier that went down before this window had the keyboard.

#include <Qt>

namespace kestiva {

class KeyChord {
public:
    static bool isChordKey(int key) {
        return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_F1;
    }

    // A key (a Qt::Key) went down or up; others than the chord's change nothing. Noting the
    // same event again changes nothing either.
    void note(int key, bool down) {
        if (key == Qt::Key_Control)
            ctrl_ = down;
        else if (key == Qt::Key_Shift)
            shift_ = down;
        else if (key == Qt::Key_F1)
            f1_ = down;
    }
    bool complete(Qt::KeyboardModifiers modifiers = {}) const {
        return (ctrl_ || modifiers.testFlag(Qt::ControlModifier)) &&
               (shift_ || modifiers.testFlag(Qt::ShiftModifier)) && f1_;
    }
    // Forget every key, as when the window loses the keyboard.
    void reset() { ctrl_ = shift_ = f1_ = false; }

private:
    bool ctrl_ = false;
    bool shift_ = false;
    bool f1_ = false;
};

}  // namespace kestiva
