#pragma once
// The receive-buffer dump's key chord: Ctrl, Shift and F1 held together, whichever of them goes
// down last. The keys' own events are followed; the modifiers an event carries count too, for a
// modifier that went down before this window had the keyboard. A front end names its keys as
// ChordKey and passes the modifiers its key event carries.

namespace kestiva {

enum class ChordKey { Control, Shift, F1 };

struct ChordModifiers {
    bool control = false;
    bool shift = false;
};

class DumpChord {
public:
    // A key went down or up. Noting the same event again changes nothing.
    void note(ChordKey key, bool down) {
        switch (key) {
            case ChordKey::Control:
                ctrl_ = down;
                break;
            case ChordKey::Shift:
                shift_ = down;
                break;
            case ChordKey::F1:
                f1_ = down;
                break;
        }
    }
    bool complete(ChordModifiers modifiers = {}) const {
        return (ctrl_ || modifiers.control) && (shift_ || modifiers.shift) && f1_;
    }
    // Forget every key, as when the window loses the keyboard.
    void reset() { ctrl_ = shift_ = f1_ = false; }

private:
    bool ctrl_ = false;
    bool shift_ = false;
    bool f1_ = false;
};

}  // namespace kestiva
