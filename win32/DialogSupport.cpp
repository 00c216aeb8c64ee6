#include "win32/DialogSupport.h"

#include "win32/Resource.h"
#include "win32/WideText.h"

namespace kestiva {

class CaptionTable::Target final : public WindowTextTarget {
public:
    explicit Target(HWND window) : window_(window) {}
    void setWindowText(const std::string& text) override { setText(window_, text); }

private:
    HWND window_;
};

CaptionTable::CaptionTable() = default;
CaptionTable::~CaptionTable() = default;

void CaptionTable::add(std::string key, HWND window) {
    keys_.push_back(std::move(key));
    targets_.push_back(std::make_unique<Target>(window));
}

void CaptionTable::apply(LanguageCatalogue& texts) {
    std::vector<LanguageTableEntry> table(keys_.size() + 1);  // the last, empty key ends it
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        table[i].key = keys_[i];
        table[i].kind = LanguageTableEntry::Kind::WindowText;
        table[i].window = targets_[i].get();
    }
    texts.ApplyLanguageTable(table);
}

void showMessageBox(HWND owner, const std::string& caption, const std::string& text,
                    MessageIcon icon) {
    // Closing line breaks of a composed text would only leave an empty band under it.
    std::string shown = text;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    UINT style = MB_OK | MB_TOPMOST | MB_SETFOREGROUND;
    switch (icon) {
        case MessageIcon::Error: style |= MB_ICONERROR; break;
        case MessageIcon::Information: style |= MB_ICONINFORMATION; break;
        case MessageIcon::Warning: style |= MB_ICONWARNING; break;
    }
    MessageBoxW(owner, toWide(shown).c_str(), toWide(caption).c_str(), style);
}

void centreInWorkArea(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    RECT frame;
    GetWindowRect(window, &frame);
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void setProgramIcon(HWND window) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto bigIcon = reinterpret_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                  IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                  GetSystemMetrics(SM_CYICON), LR_SHARED));
    auto smallIcon = reinterpret_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                    IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

}  // namespace kestiva
