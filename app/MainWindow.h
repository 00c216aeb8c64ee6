#pragma once
// The program's one top-level window: the two monitor pages (one shown at a time), the page
// switch, the sampling lists with Start and Stop per page, the progress area, and the menu
// whose controller and colour choices come from the sampling configuration. It is the core's
// progress and page host (the bridge carries workers' calls to it) and drives the busy/idle
// state that every long operation goes through.

#include <QMainWindow>
#include <QTimer>

#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <vector>

#include "views/KeyChord.h"
#include "app/WindowBridge.h"
#include "recording/HostInterfaces.h"
#include "session/Session.h"
#include "window/MainWindowModel.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QWidget;

namespace kestiva {

class CDataMonitor;
class CIoMonitor;
class LiveFeed;

class MainWindow final : public QMainWindow, public PageHost, public MainWindowView {
    Q_OBJECT

public:
    // The initial size of the window.
    static constexpr int kInitialWidth = 1024;
    static constexpr int kInitialHeight = 730;

    MainWindow(Session& session, WindowBridge& bridge, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The core's progress calls go to the model, its page calls to the window: on the window
    // thread only (the bridge sees to it).
    ProgressHost& progressHost() { return model_; }
    void clearPage(MonitorKind monitor) override;
    void loadRecording(MonitorKind monitor) override;
    void enableEntry(MonitorKind monitor) override;
    void repaint() override;

    // MainWindowView: the model's calls, each setting one control.
    using QMainWindow::setEnabled;
    using QMainWindow::setVisible;
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

    CDataMonitor& dataPage() { return *dataPage_; }
    CIoMonitor& ioPage() { return *ioPage_; }
    const LiveFeed& liveFeed() const { return *liveFeed_; }
    LiveFeed& liveFeed() { return *liveFeed_; }

    // The picture that image save writes and capture copies: as large as the window with its
    // frame, the window's contents at their own offset in it, the frame part a plain colour.
    QImage takePicture();

    // The question about a recording cut short by a crash, asked once the window is first
    // shown (and once per recording): Yes restores it onto its page.
    void offerUnsavedRecording();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The sampling controls of one monitor.
    struct SamplingControls {
        QWidget* row = nullptr;  // both groups, shown while the monitor is
        QComboBox* cycleList = nullptr;
        QComboBox* timeList = nullptr;
        QPushButton* startButton = nullptr;
        QPushButton* stopButton = nullptr;
    };

    void buildControls();
    SamplingControls buildSamplingControls(MonitorKind monitor);
    void buildMenu();
    void showMonitor(MonitorKind monitor) { model_.showMonitor(monitor); }
    QObject* control(MainControl control) const;
    void start();
    void stop();
    void onRecordingFinished();
    void writeReceiveDump();
    void showVersion();
    // The File menu.
    void saveCsv();
    void readCsv();
    void saveImage();
    void captureImage();
    QImage takePictureAsSeen();
    // The kept journals' dialog, and a journal's recording restored onto its page.
    void showUnsavedRecordings();
    void restoreRecording(const JournalEntry& journal);
    // Why the last recording's journal failed, said once the recording is on its page.
    void reportJournalProblem();
    // A CSV save, CSV read or journal restore on the session's file worker, the window taking
    // no input meanwhile.
    using FileOperation = bool (Session::*)(const std::string&, std::function<void()>);
    void startFileOperation(FileOperation start, const std::string& path);
    void onFileOperationFinished();
    // The window's own input (its contents and menu), while its message boxes stay usable.
    void setWindowInputEnabled(bool enabled);
    MonitorKind shownMonitor() const { return model_.shownMonitor(); }

    Session& session_;
    WindowBridge& bridge_;
    const LanguageCatalogue& texts_;
    MainWindowModel model_;

    QPushButton* switchButton_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    std::array<SamplingControls, 2> sampling_;
    QStackedWidget* pageArea_ = nullptr;
    CDataMonitor* dataPage_ = nullptr;
    CIoMonitor* ioPage_ = nullptr;

    QMenu* fileMenu_ = nullptr;
    QMenu* settingMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QMenu* controllerMenu_ = nullptr;
    QMenu* colorMenu_ = nullptr;
    QAction* csvSaveAction_ = nullptr;
    QAction* imageSaveAction_ = nullptr;
    QAction* imageCaptureAction_ = nullptr;
    QAction* csvReadAction_ = nullptr;
    QAction* unsavedAction_ = nullptr;
    QAction* versionAction_ = nullptr;

    // Its expiry hides the progress area and returns the window to idle.
    QTimer resetTimer_;
    // Moves the progress bar every 100 ms while the window is busy.
    QTimer progressTimer_;
    KeyChord dumpChord_;
    // The recording as it arrives, on its page.
    LiveFeed* liveFeed_ = nullptr;

    // The last paths chosen in the file dialogs, each the next dialog's starting point.
    QString lastSavePath_;
    QString lastReadPath_;
    QString lastImagePath_;
    bool offerQueued_ = false;
};

}  // namespace kestiva
