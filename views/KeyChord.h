#pragma once
// The dump chord (window/KeyChord.h) fed with Qt's keys and modifiers.

#include "window/KeyChord.h"

#include <Qt>

#include <optional>

namespace kestiva {

class KeyChord {
public:
    static bool isChordKey(int key) { return chordKey(key).has_value(); }

    // A key (a Qt::Key) went down or up; others than the chord's change nothing.
    void note(int key, bool down) {
        if (const auto k = chordKey(key))
            chord_.note(*k, down);
    }
    bool complete(Qt::KeyboardModifiers modifiers = {}) const {
        return chord_.complete(
            {modifiers.testFlag(Qt::ControlModifier), modifiers.testFlag(Qt::ShiftModifier)});
    }
    void reset() { chord_.reset(); }

private:
    static std::optional<ChordKey> chordKey(int key) {
        switch (key) {
            case Qt::Key_Control:
                return ChordKey::Control;
            case Qt::Key_Shift:
                return ChordKey::Shift;
            case Qt::Key_F1:
                return ChordKey::F1;
            default:
                return std::nullopt;
        }
    }

    DumpChord chord_;
};

}  // namespace kestiva
