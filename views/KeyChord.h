#pragma once
// The receive-buffer dump's key chord: Ctrl, Shift and F1 held together, whichever of them goes
// down last. The keys' own events are followed, so that the chord does not depend on how a
// platform reports modifiers for the key that is itself a modifier.

namespace kestiva {

class KeyChord {
public:
    // A key went down (a Qt::Key). True when it completes the chord; a key held down and
    // repeating does not complete it again.
    bool press(int key, bool autoRepeat);
    void release(int key, bool autoRepeat);
    // Forget every key, as when the window loses the keyboard.
    void reset() { ctrl_ = shift_ = f1_ = false; }

private:
    bool ctrl_ = false;
    bool shift_ = false;
    bool f1_ = false;
};

}  // namespace kestiva
