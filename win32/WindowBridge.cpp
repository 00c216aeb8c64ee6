#include "win32/WindowBridge.h"

#include "win32/DialogSupport.h"

namespace kestiva {

// The marshalling keeps a reference to thread_, which is made before it is first used.
WindowBridge::WindowBridge() : MarshalledWindow(thread_) { setMessageTarget(&boxes_); }

void WindowBridge::MessageBoxes::showMessage(const std::string& caption,
                                             const std::string& text, MessageIcon icon) {
    // An owner that has gone meanwhile would take the box with it.
    showMessageBox(IsWindow(owner) ? owner : nullptr, caption, text, icon);
}

}  // namespace kestiva
