#pragma once
// The window procedure of a window class whose windows each belong to an object of `Owner`:
// CreateWindowExW is given the object as its creation parameter, the object learns its window
// (into its window_) at WM_NCCREATE, and from then on every message goes to its handle().
// Owner makes this procedure its friend.

#include <windows.h>

namespace kestiva {

template <typename Owner>
LRESULT CALLBACK ownedWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* owner = static_cast<Owner*>(create->lpCreateParams);
        owner->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    }
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!owner)
        return DefWindowProcW(window, message, wParam, lParam);
    return owner->handle(message, wParam, lParam);
}

}  // namespace kestiva
