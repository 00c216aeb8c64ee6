#include "win32/MonitorPane.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "recording/PageFigures.h"
#include "win32/NumberEdit.h"
#include "win32/OwnedWindow.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

constexpr wchar_t kClassName[] = L"KestivaPage";
// What an edit's frame and margins add to the text it shows.
constexpr int kEditFrame = 12;
// Between the panel and the page's edges, as between the page's other controls.
constexpr int kPanelGap = 4;

bool isEdit(PageControlKind kind) {
    return kind == PageControlKind::StartEdit || kind == PageControlKind::EndEdit ||
           kind == PageControlKind::UpperEdit || kind == PageControlKind::LowerEdit;
}

bool isCheck(PageControlKind kind) {
    return kind == PageControlKind::ItemCheck || kind == PageControlKind::SignalCheck;
}

}  // namespace

MonitorPane::MonitorPane(MonitorKind monitor, LanguageCatalogue& catalogue,
                         GraphPane::Render render)
    : monitor_(monitor), catalogue_(catalogue), graph_(std::move(render)) {}

void MonitorPane::attachModel(MonitorPageModel& model) {
    model_ = &model;
    separator_ = systemDecimalSeparator();
    model_->setSeparator(separator_);
}

void MonitorPane::create(HWND parent, int pageId, int graphId, HFONT font, ToolTips toolTips) {
    font_ = font;
    toolTips_ = std::move(toolTips);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &ownedWindowProcedure<MonitorPane>;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // the second page finds it registered
    // A control parent: Tab walks into the page's controls from the window's.
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName,
                              monitor_ == kDataMonitor ? L"Data page" : L"I/O page",
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(INT_PTR(pageId)), windowClass.hInstance,
                              this);
    graph_.setFont(font);
    graph_.create(window_, graphId, monitor_ == kDataMonitor ? L"Data graph" : L"I/O graph",
                  *model_);
    addEdit({PageControlKind::StartEdit});
    addEdit({PageControlKind::EndEdit});
    addLabel({PageControlKind::TimeUnitLabel});
    for (int i = 0; i < 3; ++i)
        addLabel({PageControlKind::TimeLabel, i}, SS_CENTER);
    for (const PageControlKind kind : {PageControlKind::CycleCaption, PageControlKind::CycleLabel,
                                       PageControlKind::SpanCaption, PageControlKind::SpanLabel})
        addLabel({kind});
    makePageControls();
    panel_.create(window_, pageIdBase(monitor_) + kPanelIdOffset, font,
                  catalogue_.GetText(text::BTN_MARKERS_COPY));
}

void MonitorPane::setFont(HFONT font) {
    font_ = font;
    graph_.setFont(font);
    for (const auto& [id, control] : controls_)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    panel_.setFont(font);
    if (initialised_)
        measureControls();
    relayOut();
}

HWND MonitorPane::addChild(const wchar_t* windowClass, DWORD style, int id) {
    HWND child = CreateWindowExW(0, windowClass, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                 window_, reinterpret_cast<HMENU>(INT_PTR(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    controls_[id] = child;
    return child;
}

HWND MonitorPane::addLabel(PageControl control, DWORD alignment) {
    HWND label = addChild(WC_STATICW, alignment | SS_NOPREFIX | SS_CENTERIMAGE,
                          pageControlId(monitor_, control));
    kestiva::setText(label, kNoFigureText);
    return label;
}

HWND MonitorPane::addCheck(PageControl control) {
    HWND check = addChild(WC_BUTTONW, BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP,
                          pageControlId(monitor_, control));
    kestiva::setText(check, kNoFigureText);
    return check;
}

HWND MonitorPane::addEdit(PageControl control) {
    const int id = pageControlId(monitor_, control);
    HWND edit = makeNumberEdit(window_, id, font_, separator_);
    controls_[id] = edit;
    return edit;
}

HWND MonitorPane::control(PageControl c) const {
    if (c.kind == PageControlKind::Graph)
        return graph_.window();
    const auto found = controls_.find(pageControlId(monitor_, c));
    return found == controls_.end() ? nullptr : found->second;
}

HWND MonitorPane::edit(PageControl c) const {
    return isEdit(c.kind) ? control(c) : nullptr;
}

// ---- Sizes and places ----

Size MonitorPane::textSize(const std::string& text) const {
    const std::wstring wide = toWide(text);
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    return {int(size.cx), int(size.cy)};
}

int MonitorPane::textHeight() const {
    return textSize("0").height();
}

Size MonitorPane::fitting(const std::string& sample, int height) const {
    return {textSize(sample).width() + kEditFrame, height};
}

std::array<Size, 4> MonitorPane::captionRowSizes(int height) const {
    return {fitting(getText(control({PageControlKind::CycleCaption})), height),
            fitting("00000", height),
            fitting(getText(control({PageControlKind::SpanCaption})), height),
            fitting("000000.0", height)};
}

void MonitorPane::place(HWND control, const Rect& area) {
    if (control)
        MoveWindow(control, area.x(), area.y(), area.width(), area.height(), TRUE);
}

Size MonitorPane::placeMeasurementPanel() {
    RECT client;
    GetClientRect(window_, &client);
    const Size page(client.right, client.bottom);
    if (!panel_.visible())
        return page;
    const int height = panel_.neededHeight();
    const int top = std::max(page.height() - height - kPanelGap, 0);
    panel_.place(Rect(kPanelGap, top, std::max(page.width() - 2 * kPanelGap, 0), height));
    return {page.width(), top};
}

// ---- What the model shows ----

void MonitorPane::setText(PageControl c, const std::string& text) {
    if (HWND window = control(c))
        kestiva::setText(window, text);
}

void MonitorPane::setValueText(PageControl c, const std::string& value, const std::string&) {
    setText(c, value);
}

void MonitorPane::setControlToolTip(PageControl c, const std::string& text) {
    if (HWND window = control(c); window && toolTips_)
        toolTips_(window, text);
}

void MonitorPane::setControlEnabled(PageControl c, bool enabled) {
    if (HWND window = control(c))
        EnableWindow(window, enabled);
}

void MonitorPane::setChecked(PageControl c, bool checked) {
    if (HWND window = isCheck(c.kind) ? control(c) : nullptr)
        Button_SetCheck(window, checked ? BST_CHECKED : BST_UNCHECKED);
}

void MonitorPane::setValue(PageControl c, double value) {
    if (HWND e = edit(c))
        setNumberValue(e, value);
}

void MonitorPane::clearValue(PageControl c) {
    if (HWND e = edit(c))
        clearNumber(e);
}

void MonitorPane::setLimits(PageControl c, double lower, double upper) {
    if (HWND e = edit(c))
        setNumberLimits(e, lower, upper);
}

void MonitorPane::setNumberFormat(PageControl c, int decimals, bool sign) {
    if (HWND e = edit(c))
        kestiva::setNumberFormat(e, decimals, sign);
}

void MonitorPane::graphChanged() {
    graph_.redraw();
}

void MonitorPane::overlaysChanged() {
    graph_.overlaysChanged();
}

void MonitorPane::layoutChanged() {
    if (!model_)
        return;
    const bool shown = model_->measurementsShown();
    if (shown)
        panel_.showRows(model_->measurementRows());
    panel_.setVisible(shown);
    relayOut();
}

void MonitorPane::relayOut() {
    if (!initialised_)
        return;
    layOut();
    // Controls moved one after another pass over each other on the way: each is painted
    // again where it ends, over what a neighbour left there.
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MonitorPane::copyText(const std::string& text) {
    const std::wstring wide = toWide(text);
    if (!OpenClipboard(window_))
        return;
    EmptyClipboard();
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, wide.c_str(), bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory))
                GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

// ---- What the user does ----

void MonitorPane::command(int id, int notification, HWND from) {
    if (id == pageIdBase(monitor_) + kPanelIdOffset + MeasurementPane::kCopyButton) {
        if (notification == BN_CLICKED)
            model_->copyMeasurements();
        return;
    }
    PageControl c;
    if (notification == BN_CLICKED && pageControlOf(monitor_, id, c) && isCheck(c.kind))
        model_->checkClicked(c, Button_GetCheck(from) == BST_CHECKED);
}

LRESULT MonitorPane::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!model_)  // until the page's model is attached
        return DefWindowProcW(window_, message, wParam, lParam);
    switch (message) {
        case WM_SIZE:
            relayOut();
            return 0;
        case WM_COMMAND:
            command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case kNumberCommitted: {
            PageControl c;
            if (pageControlOf(monitor_, int(wParam), c))
                model_->editCommitted(c, numberValue(reinterpret_cast<HWND>(lParam)));
            return 0;
        }
        case WM_MOUSEWHEEL: {
            // The wheel reaches the focused control's page: the graph zooms when under it.
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            RECT graph;
            GetWindowRect(graph_.window(), &graph);
            if (PtInRect(&graph, at))
                SendMessageW(graph_.window(), message, wParam, lParam);
            return 0;  // never back to the window, which hands it to the page
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Labels and check boxes on the page's own face.
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace kestiva
