#pragma once
// The program's one top-level window: the two monitor pages (one shown at a time), the page
// switch, the sampling lists with Start and Stop per page, the progress area, and the menus
// whose controller and colour choices come from the sampling configuration. What they show
// is MainWindowModel's; the window is the core's progress and page host (the bridge carries
// workers' calls to it).

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "recording/HostInterfaces.h"
#include "session/Session.h"
#include "window/ComSettingModel.h"
#include "window/MainWindowModel.h"
#include "win32/PagePanes.h"
#include "win32/WindowBridge.h"

namespace kestiva {

class MainWindow final : public PageHost, public MainWindowView {
public:
    static constexpr int kInitialWidth = 1024;
    static constexpr int kInitialHeight = 730;

    MainWindow(Session& session, WindowBridge& bridge, ComSettingMemory& comSettingMemory);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Shows the window and runs its message loop until it has been closed.
    void run();

    // The core's progress calls go to the model, its page calls to the window: on the window
    // thread only (the bridge sees to it).
    void clearPage(MonitorKind monitor) override;
    void loadRecording(MonitorKind monitor) override;
    void enableEntry(MonitorKind monitor) override;
    void repaint() override;

    // MainWindowView.
    void setEnabled(MainControl control, bool enabled) override;
    void setVisible(MainControl control, bool visible) override;
    void setText(MainControl control, const std::string& text) override;
    void setValue(MainControl control, int value) override;
    void setItems(MainControl list, const std::vector<std::string>& items) override;
    void setMenu(MainControl menu, const std::vector<std::string>& items, int checked) override;
    void showPage(MonitorKind monitor) override;
    void applyColorTable(MonitorKind monitor, const ColorTable& colors) override;
    void armTimer(MainTimer timer, int milliseconds) override;
    void disarmTimer(MainTimer timer) override;
    void pumpMessages() override;
    void takeFocus() override;

private:
    // The sampling controls of one monitor, by id base + IDC_SAMPLING_GROUP ... IDC_STOP.
    struct SamplingControls {
        std::array<HWND, 8> controls{};
        HWND at(int offset) const { return controls[std::size_t(offset)]; }
    };

    // A worker's end reaches the window as a message of its own.
    static constexpr UINT kRecordingFinished = WM_APP + 10;
    static constexpr UINT kFileOperationFinished = WM_APP + 11;
    static constexpr UINT kOfferUnsaved = WM_APP + 12;

    template <typename Owner>
    friend LRESULT CALLBACK ownedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    // MainWindowBuild.cpp.
    void makeFont();
    void buildControls();
    void buildSamplingControls(MonitorKind monitor, int idBase);
    void buildMenu();
    // The tip shown when the mouse rests on control (none when text is empty).
    void addToolTip(HWND control, const std::string& text);
    void makePages();
    void layOut();
    HWND control(MainControl control) const;
    void eraseBackground(HDC dc);

    void command(int id, int notification);
    void start();
    void stop();
    void onRecordingFinished();
    void liveTick();
    void showVersion();
    void close();
    void writeReceiveDump();
    // MainWindowFiles.cpp: the File menu's CSV save and read on the session's file worker,
    // the window taking no input meanwhile.
    void saveCsv();
    void readCsv();
    // Image save and capture: the window as the user sees it.
    void saveImage();
    void captureImage();
    using FileOperation = bool (Session::*)(const std::string&, std::function<void()>);
    void startFileOperation(FileOperation start, const std::string& path);
    void onFileOperationFinished();
    // The question about a recording cut short by a crash, asked once the window is first
    // shown: Yes restores it onto its page on the file worker.
    void offerUnsavedRecording();
    // File > Unsaved Recordings, and a journal's recording restored onto its page.
    void showUnsavedRecordings();
    void restoreRecording(const JournalEntry& journal);
    void setWindowInputEnabled(bool enabled);
    MonitorKind shownMonitor() const { return model_.shownMonitor(); }
    HWND pageWindow(MonitorKind monitor) const {
        return monitor == kDataMonitor ? dataPane_.window() : ioPane_.window();
    }
    void clearPane(MonitorKind monitor);

    Session& session_;
    WindowBridge& bridge_;
    ComSettingMemory& comSettingMemory_;
    const LanguageCatalogue& texts_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HWND switchButton_ = nullptr;
    HWND progressBar_ = nullptr;
    HWND percentLabel_ = nullptr;
    HWND stateLabel_ = nullptr;
    HWND toolTips_ = nullptr;
    std::array<SamplingControls, 2> sampling_;
    DataPane dataPane_;
    IoPane ioPane_;
    HMENU menuBar_ = nullptr;
    HMENU fileMenu_ = nullptr;
    HMENU settingMenu_ = nullptr;
    HMENU helpMenu_ = nullptr;
    HMENU controllerMenu_ = nullptr;
    HMENU colorMenu_ = nullptr;
    bool liveRunning_ = false;
    bool closing_ = false;
    std::wstring lastSavePath_;
    std::wstring lastReadPath_;
    std::wstring lastImagePath_;
    // Last: it shows its first state through the controls above.
    MainWindowModel model_;
};

}  // namespace kestiva
