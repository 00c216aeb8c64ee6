#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>

#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

#include "app/AboutDialog.h"
#include "app/LiveFeed.h"
#include "app/ProgramIcon.h"
#include "views/DataMonitor.h"
#include "views/IoMonitor.h"

namespace kestiva {

namespace {


QString qt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

MainWindow::MainWindow(Session& session, WindowBridge& bridge, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      bridge_(bridge),
      texts_(session.texts()),
      model_(session.state(), session.config(), session.texts(), *this) {
    setObjectName("mainWindow");
    setWindowTitle(qt(texts_.GetText(text::APP_TITLE)));
    setWindowIcon(programIcon());
    buildControls();
    buildMenu();

    resetTimer_.setSingleShot(true);
    connect(&resetTimer_, &QTimer::timeout, this, [this] { model_.timerExpired(MainTimer::Reset); });
    connect(&progressTimer_, &QTimer::timeout, this,
            [this] { model_.timerExpired(MainTimer::Progress); });

    resize(kInitialWidth, kInitialHeight);
    model_.initialise();

    bridge_.setMessageParent(this);
    bridge_.setTarget(&model_, this);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    // Close has waited for it; a window destroyed without closing still lets it end, answering
    // what it asks of the window meanwhile.
    while (session_.fileOperationRunning() && !session_.finishFileOperation()) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    qApp->removeEventFilter(this);
    bridge_.setTarget(nullptr, nullptr);
    bridge_.setMessageParent(nullptr);
}

// --- The model's view -------------------------------------------------------------------------

QObject* MainWindow::control(MainControl which) const {
    switch (which) {
        case MainControl::FileMenu: return fileMenu_->menuAction();
        case MainControl::SettingMenu: return settingMenu_->menuAction();
        case MainControl::HelpMenu: return helpMenu_->menuAction();
        case MainControl::CsvSaveAction: return csvSaveAction_;
        case MainControl::UnsavedRecordingsAction: return unsavedAction_;
        case MainControl::ControllerMenu: return controllerMenu_;
        case MainControl::ColorMenu: return colorMenu_;
        case MainControl::MonitorSwitchButton: return switchButton_;
        case MainControl::DataPage: return dataPage_;
        case MainControl::IoPage: return ioPage_;
        case MainControl::DataSamplingControls: return sampling_[kDataMonitor].row;
        case MainControl::IoSamplingControls: return sampling_[kIoMonitor].row;
        case MainControl::DataCycleList: return sampling_[kDataMonitor].cycleList;
        case MainControl::DataTimeList: return sampling_[kDataMonitor].timeList;
        case MainControl::DataStartButton: return sampling_[kDataMonitor].startButton;
        case MainControl::DataStopButton: return sampling_[kDataMonitor].stopButton;
        case MainControl::IoCycleList: return sampling_[kIoMonitor].cycleList;
        case MainControl::IoTimeList: return sampling_[kIoMonitor].timeList;
        case MainControl::IoStartButton: return sampling_[kIoMonitor].startButton;
        case MainControl::IoStopButton: return sampling_[kIoMonitor].stopButton;
        case MainControl::ProgressBar: return progressBar_;
        case MainControl::PercentLabel: return percentLabel_;
        case MainControl::StateLabel: return stateLabel_;
    }
    return nullptr;
}

void MainWindow::setEnabled(MainControl which, bool enabled) {
    QObject* object = control(which);
    if (auto* action = qobject_cast<QAction*>(object))
        action->setEnabled(enabled);
    else if (auto* widget = qobject_cast<QWidget*>(object))
        widget->setEnabled(enabled);
}

void MainWindow::setVisible(MainControl which, bool visible) {
    if (auto* widget = qobject_cast<QWidget*>(control(which)))
        widget->setVisible(visible);
}

void MainWindow::setText(MainControl which, const std::string& text) {
    QObject* object = control(which);
    if (auto* label = qobject_cast<QLabel*>(object))
        label->setText(qt(text));
    else if (auto* button = qobject_cast<QPushButton*>(object))
        button->setText(qt(text));
}

void MainWindow::setValue(MainControl which, int value) {
    if (auto* bar = qobject_cast<QProgressBar*>(control(which)))
        bar->setValue(value);
}

void MainWindow::setItems(MainControl which, const std::vector<std::string>& items) {
    auto* list = qobject_cast<QComboBox*>(control(which));
    if (!list)
        return;
    list->clear();
    for (const std::string& item : items)
        list->addItem(qt(item));
}

// A submenu's items, named "controllerItem1"... or "colorItem1"..., the marked one checked.
void MainWindow::setMenu(MainControl which, const std::vector<std::string>& items, int checked) {
    auto* menu = qobject_cast<QMenu*>(control(which));
    if (!menu)
        return;
    const bool controllers = which == MainControl::ControllerMenu;
    menu->clear();
    for (std::size_t slot = 0; slot < items.size(); ++slot) {
        QAction* item = menu->addAction(qt(items[slot]));
        item->setObjectName((controllers ? "controllerItem" : "colorItem") +
                            QString::number(slot + 1));
        item->setCheckable(true);
        item->setChecked(int(slot) == checked);
        connect(item, &QAction::triggered, this, [this, controllers, slot] {
            if (controllers)
                model_.chooseController(int(slot));
            else
                model_.chooseColorTable(int(slot));
        });
    }
}

void MainWindow::showPage(MonitorKind monitor) {
    pageArea_->setCurrentWidget(monitor == kDataMonitor ? static_cast<QWidget*>(dataPage_)
                                                        : ioPage_);
}

void MainWindow::applyColorTable(MonitorKind monitor, const ColorTable& colors) {
    if (monitor == kDataMonitor)
        dataPage_->applyColorTable(colors);
    else
        ioPage_->applyColorTable(colors);
}

void MainWindow::armTimer(MainTimer timer, int milliseconds) {
    (timer == MainTimer::Progress ? progressTimer_ : resetTimer_).start(milliseconds);
}

void MainWindow::disarmTimer(MainTimer timer) {
    (timer == MainTimer::Progress ? progressTimer_ : resetTimer_).stop();
}

void MainWindow::takeFocus() { setFocus(); }

// --- Start and Stop ---------------------------------------------------------------------------

void MainWindow::start() {
    const std::time_t now = std::time(nullptr);
    const SamplingControls& s = sampling_[std::size_t(shownMonitor())];
    const StartRequest request = model_.startRequest(s.cycleList->currentText().toStdString(),
                                                     s.timeList->currentText().toStdString());
    const StartResult started = session_.startRecording(
        request.controller, request.cycle, request.time, now, [this] {
            QMetaObject::invokeMethod(this, &MainWindow::onRecordingFinished,
                                      Qt::QueuedConnection);
        });
    if (started == StartResult::Ok)
        liveFeed_->start(request.time);
    // A refused start has cleared the page all the same: CSV save goes with what it holds now.
    model_.followSavableFlag();
}

void MainWindow::onRecordingFinished() {
    liveFeed_->finish();
    session_.endRecording();
    model_.followSavableFlag();
    reportJournalProblem();
}

void MainWindow::reportJournalProblem() {
    if (const std::optional<std::string> problem = session_.takeJournalProblem())
        bridge_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE), *problem,
                            MessageIcon::Warning);
}

void MainWindow::stop() {
    session_.requestStop();
    model_.stopPressed();
}

// --- Busy and idle ----------------------------------------------------------------------------

void MainWindow::pumpMessages() { QCoreApplication::processEvents(); }

// --- Pages ------------------------------------------------------------------------------------

// The final pass replaces the live picture: the feed ends before it touches the page.
void MainWindow::clearPage(MonitorKind monitor) {
    liveFeed_->stop();
    if (monitor == kDataMonitor)
        dataPage_->clear();
    else
        ioPage_->clear();
}

void MainWindow::loadRecording(MonitorKind monitor) {
    liveFeed_->stop();
    if (monitor == kDataMonitor)
        dataPage_->loadRecording(session_.page(kDataMonitor));
    else
        ioPage_->loadRecording(session_.page(kIoMonitor));
    // Painted before the call returns: the core's worker waits for it, so the graph reaches
    // the screen before that worker goes on to what only a CSV save needs, instead of sharing
    // the processor with it.
    if (monitor == model_.shownMonitor())
        pageArea_->currentWidget()->repaint();
}

void MainWindow::enableEntry(MonitorKind monitor) {
    if (monitor == kDataMonitor)
        dataPage_->enableEntry();
    else
        ioPage_->enableEntry();
}

void MainWindow::repaint() { pageArea_->currentWidget()->update(); }

// --- Keys, dump, version, close ---------------------------------------------------------------

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QMainWindow::eventFilter(watched, event);
    // A key passes the filter once for each widget it travels up through: take it where it
    // starts, at the focus. Keys of the pages are the pages' own, chord included.
    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : this;
    const auto inPage = [&](const QWidget* w) {
        return w == dataPage_ || w == ioPage_ || dataPage_->isAncestorOf(w) ||
               ioPage_->isAncestorOf(w);
    };
    if (widget == nullptr || widget != focus || widget->window() != this || inPage(widget))
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    dumpChord_.note(key->key(), type == QEvent::KeyPress);
    if (type == QEvent::KeyRelease)
        return false;
    if (KeyChord::isChordKey(key->key()) && !key->isAutoRepeat() &&
        dumpChord_.complete(key->modifiers()))
        writeReceiveDump();
    // The window never closes or acts from Enter or Escape.
    const int k = key->key();
    return k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Escape;
}

void MainWindow::writeReceiveDump() {
    // A restore on the file worker is filling the capture buffer the dump would read.
    if (session_.fileOperationRunning())
        return;
    session_.writeReceiveDumpIntoDumpFolder(bridge_);
}

void MainWindow::showVersion() {
    AboutDialog dialog(session_.texts(), this);
    dialog.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A running operation ends first: a recording is asked to stop, and the window keeps
    // answering its events until the operation and its reset timer have returned it to idle.
    const auto idle = [this] {
        return session_.state().phase() == ProgressPhase::Idle && !session_.fileOperationRunning() &&
               !session_.recordingRunning();
    };
    if (!idle()) {
        if (session_.state().phase() == ProgressPhase::Recording)
            session_.requestStop();
        QEventLoop wait;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &wait, [&] {
            if (idle())
                wait.quit();
        });
        poll.start(20);
        wait.exec();
    }
    liveFeed_->stop();
    session_.closeCheckPort();
    event->accept();
}

}  // namespace kestiva
