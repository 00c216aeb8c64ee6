#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

#include "app/AboutDialog.h"
#include "app/LiveFeed.h"
#include "app/ProgramIcon.h"
#include "recording/TextToLong.h"
#include "views/DataMonitor.h"
#include "views/IoMonitor.h"

namespace kestiva {

namespace {

constexpr int kResetMilliseconds = 1000;
constexpr int kProgressMilliseconds = 100;
constexpr int kRunIconSide = 48;
// The smallest cycle each monitor's list offers: shorter ones cannot carry its requests.
constexpr int kMinDataCycle = 20;
constexpr int kMinIoCycle = 30;

QString qt(const std::string& text) { return QString::fromStdString(text); }

// The run buttons' pictures, drawn here so that they scale with the screen: a green disc with
// a white triangle to start, a red disc with a white square to stop.
QIcon runIcon(bool startIcon) {
    QPixmap pixmap(kRunIconSide * 2, kRunIconSide * 2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2.0, 2.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(startIcon ? QColor(0x2e, 0x9d, 0x4a) : QColor(0xc8, 0x32, 0x2d));
    painter.drawEllipse(QRectF(2, 2, kRunIconSide - 4, kRunIconSide - 4));
    painter.setBrush(Qt::white);
    if (startIcon) {
        QPainterPath triangle;
        triangle.moveTo(18, 13);
        triangle.lineTo(36, 24);
        triangle.lineTo(18, 35);
        triangle.closeSubpath();
        painter.drawPath(triangle);
    } else {
        painter.drawRoundedRect(QRectF(15, 15, 18, 18), 2, 2);
    }
    painter.end();
    pixmap.setDevicePixelRatio(2.0);
    return QIcon(pixmap);
}

// A label tied to the control it names, so that assistive tools name the control by it.
QLabel* labelFor(QWidget* control, const QString& text, const QString& name) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setBuddy(control);
    return label;
}

// Slot k of a menu shows record slotRecords[k]: the named records, in table order.
template <typename Records>
std::vector<int> namedSlots(const Records& records) {
    std::vector<int> slotRecords;
    for (std::size_t k = 0; k < records.size(); ++k)
        if (!records[k].name.empty())
            slotRecords.push_back(int(k));
    return slotRecords;
}

}  // namespace

MainWindow::MainWindow(Session& session, WindowBridge& bridge, QWidget* parent)
    : QMainWindow(parent), session_(session), bridge_(bridge), texts_(session.texts()) {
    setObjectName("mainWindow");
    setWindowTitle(qt(texts_.GetText(text::APP_TITLE)));
    setWindowIcon(programIcon());
    session_.state().dataSavable = false;
    session_.state().ioSavable = false;

    for (const MonitorKind monitor : {kDataMonitor, kIoMonitor}) {
        const MonitorConfig& config = session_.config().monitors[monitor];
        MenuChoice& c = choice(monitor);
        c.controllerSlots = namedSlots(config.controllers);
        c.colorSlots = namedSlots(config.colorTables);
        if (!c.colorSlots.empty())
            c.activeColors = config.colorTables[std::size_t(c.colorSlots.front())];
    }
    buildControls();
    buildMenu();
    fillSamplingLists(kDataMonitor);
    fillSamplingLists(kIoMonitor);

    resetTimer_.setSingleShot(true);
    connect(&resetTimer_, &QTimer::timeout, this, &MainWindow::returnToIdle);
    progressTimer_.setInterval(kProgressMilliseconds);
    connect(&progressTimer_, &QTimer::timeout, this, &MainWindow::updateProgress);

    // The page switch in showMonitor lands on the data page.
    session_.state().monitorMode = kIoMonitor;
    showMonitor(kDataMonitor);
    resize(kInitialWidth, kInitialHeight);
    setControlsEnabled(true);

    bridge_.setMessageParent(this);
    bridge_.setTarget(this, this);
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

// --- Building ---------------------------------------------------------------------------------

void MainWindow::buildControls() {
    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(8, 8, 8, 8);
    auto* top = new QHBoxLayout;
    column->addLayout(top);

    switchButton_ = new QPushButton(qt(texts_.GetText(text::BTN_MONITOR_TITLE_DATA)));
    switchButton_->setObjectName("monitorSwitchButton");
    switchButton_->setFixedSize(140, 50);
    connect(switchButton_, &QPushButton::clicked, this, &MainWindow::switchMonitor);
    top->addWidget(switchButton_, 0, Qt::AlignTop);

    // The progress area: hidden while the window is idle.
    auto* progress = new QVBoxLayout;
    progressBar_ = new QProgressBar;
    progressBar_->setObjectName("progressBar");
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);
    progressBar_->setAccessibleName(qt(texts_.GetText(text::MSG_PROGRESS_STATE_MONITOR)));
    percentLabel_ = new QLabel("0%");
    percentLabel_->setObjectName("percentLabel");
    stateLabel_ = new QLabel;
    stateLabel_->setObjectName("stateLabel");
    auto* barRow = new QHBoxLayout;
    barRow->addWidget(progressBar_, 1);
    barRow->addWidget(percentLabel_);
    progress->addLayout(barRow);
    progress->addWidget(stateLabel_);
    progress->addStretch();
    top->addLayout(progress, 1);
    // Hidden, the area keeps its room, so that the groups beside it never move or stretch.
    for (QWidget* w : {static_cast<QWidget*>(progressBar_), static_cast<QWidget*>(percentLabel_),
                       static_cast<QWidget*>(stateLabel_)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }

    for (const MonitorKind monitor : {kDataMonitor, kIoMonitor}) {
        sampling_[std::size_t(monitor)] = buildSamplingControls(monitor);
        top->addWidget(sampling_[std::size_t(monitor)].row);
    }

    pageArea_ = new QStackedWidget;
    pageArea_->setObjectName("pageArea");
    LanguageCatalogue& catalogue = session_.texts();
    dataPage_ = new CDataMonitor(catalogue);
    ioPage_ = new CIoMonitor(catalogue);
    dataPage_->initialise(choice(kDataMonitor).activeColors);
    ioPage_->initialise(choice(kIoMonitor).activeColors);
    pageArea_->addWidget(dataPage_);
    pageArea_->addWidget(ioPage_);
    connect(dataPage_, &CDataMonitor::receiveDumpRequested, this, &MainWindow::writeReceiveDump);
    connect(ioPage_, &CIoMonitor::receiveDumpRequested, this, &MainWindow::writeReceiveDump);
    column->addWidget(pageArea_, 1);
    setCentralWidget(central);
    liveFeed_ = new LiveFeed(session_, *dataPage_, *ioPage_, this);
}

MainWindow::SamplingControls MainWindow::buildSamplingControls(MonitorKind monitor) {
    const QString prefix = monitor == kDataMonitor ? "data" : "io";
    SamplingControls c;
    c.row = new QWidget;
    c.row->setObjectName(prefix + "SamplingControls");
    auto* row = new QHBoxLayout(c.row);
    row->setContentsMargins(0, 0, 0, 0);

    auto* samplingGroup = new QGroupBox;
    samplingGroup->setObjectName(prefix + "SamplingGroup");
    auto* grid = new QGridLayout(samplingGroup);
    c.cycleList = new QComboBox;
    c.cycleList->setObjectName(prefix + "CycleList");
    c.cycleList->setMinimumWidth(100);
    c.timeList = new QComboBox;
    c.timeList->setObjectName(prefix + "TimeList");
    c.timeList->setMinimumWidth(100);
    grid->addWidget(labelFor(c.cycleList, qt(texts_.GetText(text::MSG_SAMPLING_SPAN)),
                             prefix + "CycleLabel"),
                    0, 0);
    grid->addWidget(c.cycleList, 0, 1);
    grid->addWidget(labelFor(c.timeList, qt(texts_.GetText(text::MSG_SAMPLING_TIME)),
                             prefix + "TimeLabel"),
                    1, 0);
    grid->addWidget(c.timeList, 1, 1);
    row->addWidget(samplingGroup);

    auto* runGroup = new QGroupBox;
    runGroup->setObjectName(prefix + "RunGroup");
    auto* buttons = new QHBoxLayout(runGroup);
    c.startButton = new QPushButton;
    c.startButton->setObjectName(prefix + "StartButton");
    c.startButton->setIcon(runIcon(true));
    c.startButton->setAccessibleName(qt(texts_.GetText(text::BTN_START_NAME)));
    c.startButton->setToolTip(qt(texts_.GetText(text::BTN_START_TOOLTIP)));
    c.stopButton = new QPushButton;
    c.stopButton->setObjectName(prefix + "StopButton");
    c.stopButton->setIcon(runIcon(false));
    c.stopButton->setAccessibleName(qt(texts_.GetText(text::BTN_STOP_NAME)));
    c.stopButton->setToolTip(qt(texts_.GetText(text::BTN_STOP_TOOLTIP)));
    for (QPushButton* b : {c.startButton, c.stopButton}) {
        b->setFixedSize(64, 64);
        b->setIconSize(QSize(kRunIconSide, kRunIconSide));
        b->setFocusPolicy(Qt::TabFocus);
        buttons->addWidget(b);
    }
    connect(c.startButton, &QPushButton::clicked, this, &MainWindow::start);
    connect(c.stopButton, &QPushButton::clicked, this, &MainWindow::stop);
    row->addWidget(runGroup);
    return c;
}

void MainWindow::buildMenu() {
    fileMenu_ = menuBar()->addMenu(qt(texts_.GetText(text::MNU_TITLE_FILE)));
    fileMenu_->setObjectName("fileMenu");
    csvSaveAction_ = fileMenu_->addAction(qt(texts_.GetText(text::MNU_TITLE_FILE_CSV_SAVE)));
    csvSaveAction_->setObjectName("csvSaveAction");
    imageSaveAction_ = fileMenu_->addAction(qt(texts_.GetText(text::MNU_TITLE_FILE_IMAGE_SAVE)));
    imageSaveAction_->setObjectName("imageSaveAction");
    imageCaptureAction_ =
        fileMenu_->addAction(qt(texts_.GetText(text::MNU_TITLE_FILE_IMAGE_CAPTURE)));
    imageCaptureAction_->setObjectName("imageCaptureAction");
    csvReadAction_ = fileMenu_->addAction(qt(texts_.GetText(text::MNU_TITLE_FILE_CSV_READ)));
    csvReadAction_->setObjectName("csvReadAction");
    unsavedAction_ = fileMenu_->addAction(qt(texts_.GetText(text::MNU_TITLE_FILE_UNSAVED)));
    unsavedAction_->setObjectName("unsavedRecordingsAction");

    settingMenu_ = menuBar()->addMenu(qt(texts_.GetText(text::MNU_TITLE_SETTING)));
    settingMenu_->setObjectName("settingMenu");
    controllerMenu_ = settingMenu_->addMenu(qt(texts_.GetText(text::MNU_TITLE_SETTING_CONTROLLER)));
    controllerMenu_->setObjectName("controllerMenu");
    colorMenu_ = settingMenu_->addMenu(qt(texts_.GetText(text::MNU_TITLE_SETTING_COLOR)));
    colorMenu_->setObjectName("colorMenu");

    helpMenu_ = menuBar()->addMenu(qt(texts_.GetText(text::MNU_TITLE_HELP)));
    helpMenu_->setObjectName("helpMenu");
    versionAction_ = helpMenu_->addAction(qt(texts_.GetText(text::MNU_TITLE_HELP_VERSION)));
    versionAction_->setObjectName("versionAction");
    connect(versionAction_, &QAction::triggered, this, &MainWindow::showVersion);
    connect(csvSaveAction_, &QAction::triggered, this, &MainWindow::saveCsv);
    connect(csvReadAction_, &QAction::triggered, this, &MainWindow::readCsv);
    connect(imageSaveAction_, &QAction::triggered, this, &MainWindow::saveImage);
    connect(imageCaptureAction_, &QAction::triggered, this, &MainWindow::captureImage);
    connect(unsavedAction_, &QAction::triggered, this, &MainWindow::showUnsavedRecordings);
}

void MainWindow::fillSamplingLists(MonitorKind monitor) {
    const SamplingLists& lists = session_.config().monitors[monitor].lists;
    const int minimum = monitor == kDataMonitor ? kMinDataCycle : kMinIoCycle;
    SamplingControls& c = controls(monitor);
    c.cycleList->clear();
    c.timeList->clear();
    for (int k = 0; k < lists.numCycles && k < int(lists.cycles.size()); ++k)
        if (lists.cycles[std::size_t(k)] >= minimum)
            c.cycleList->addItem(QString::number(lists.cycles[std::size_t(k)]));
    for (int k = 0; k < lists.numTimes && k < int(lists.times.size()); ++k)
        if (lists.times[std::size_t(k)] != 0)
            c.timeList->addItem(QString::number(lists.times[std::size_t(k)]));
}

// The controller and colour submenus of the shown monitor, its marked items checked.
void MainWindow::rebuildChoiceMenus() {
    const MonitorKind monitor = shownMonitor();
    const MonitorConfig& config = session_.config().monitors[monitor];
    const MenuChoice& c = choice(monitor);
    auto fill = [this](QMenu* menu, const QString& name, const std::vector<int>& slotRecords,
                       int marked, auto nameOf, void (MainWindow::*chosen)(int)) {
        menu->clear();
        for (std::size_t slot = 0; slot < slotRecords.size(); ++slot) {
            QAction* item = menu->addAction(qt(nameOf(slotRecords[slot])));
            item->setObjectName(name + QString::number(slot + 1));
            item->setCheckable(true);
            item->setChecked(int(slot) == marked);
            connect(item, &QAction::triggered, this, [this, chosen, slot] {
                (this->*chosen)(int(slot));
            });
        }
    };
    fill(controllerMenu_, "controllerItem", c.controllerSlots, c.markedController,
         [&](int k) { return config.controllers[std::size_t(k)].name; },
         &MainWindow::chooseController);
    fill(colorMenu_, "colorItem", c.colorSlots, c.markedColor,
         [&](int k) { return config.colorTables[std::size_t(k)].name; },
         &MainWindow::chooseColorTable);
}

// --- Page switch, menu choices ---------------------------------------------------------------

void MainWindow::showMonitor(MonitorKind monitor) {
    session_.state().monitorMode = monitor;
    const bool data = monitor == kDataMonitor;
    switchButton_->setText(
        qt(texts_.GetText(data ? text::BTN_MONITOR_TITLE_DATA : text::BTN_MONITOR_TITLE_IO)));
    pageArea_->setCurrentWidget(data ? static_cast<QWidget*>(dataPage_) : ioPage_);
    controls(kDataMonitor).row->setVisible(data);
    controls(kIoMonitor).row->setVisible(!data);
    rebuildChoiceMenus();
    followSavableFlag();
}

void MainWindow::switchMonitor() {
    showMonitor(shownMonitor() == kDataMonitor ? kIoMonitor : kDataMonitor);
}

void MainWindow::followSavableFlag() {
    csvSaveAction_->setEnabled(session_.state().savable(shownMonitor()));
}

void MainWindow::chooseController(int slot) {
    MenuChoice& c = choice(shownMonitor());
    if (slot == c.markedController || slot >= int(c.controllerSlots.size())) {
        rebuildChoiceMenus();  // the mark stays where it was
        return;
    }
    // The record is taken into the recording only at the next Start.
    c.markedController = slot;
    rebuildChoiceMenus();
}

void MainWindow::chooseColorTable(int slot) {
    const MonitorKind monitor = shownMonitor();
    MenuChoice& c = choice(monitor);
    if (slot == c.markedColor || slot >= int(c.colorSlots.size())) {
        rebuildChoiceMenus();
        return;
    }
    c.markedColor = slot;
    c.activeColors = session_.config().monitors[monitor].colorTables[std::size_t(c.colorSlots[std::size_t(slot)])];
    if (monitor == kDataMonitor)
        dataPage_->applyColorTable(c.activeColors);
    else
        ioPage_->applyColorTable(c.activeColors);
    rebuildChoiceMenus();
}

// --- Start and Stop ---------------------------------------------------------------------------

void MainWindow::start() {
    const std::time_t now = std::time(nullptr);
    const MonitorKind monitor = shownMonitor();
    const MenuChoice& c = choice(monitor);
    const MonitorConfig& config = session_.config().monitors[monitor];
    const ControllerRecord& controller =
        c.controllerSlots.empty()
            ? config.controllers.front()
            : config.controllers[std::size_t(c.controllerSlots[std::size_t(c.markedController)])];
    // The lists' texts, 16 bits kept; an empty list gives 0, which the engine refuses quietly.
    const auto listValue = [](const QComboBox* list) {
        return uint16_t(textToLong(list->currentText().toStdString()));
    };
    const SamplingControls& s = controls(monitor);
    const uint16_t time = listValue(s.timeList);
    const StartResult started =
        session_.startRecording(controller, listValue(s.cycleList), time, now, [this] {
            QMetaObject::invokeMethod(this, &MainWindow::onRecordingFinished,
                                      Qt::QueuedConnection);
        });
    if (started == StartResult::Ok)
        liveFeed_->start(time);
    // A refused start has cleared the page all the same: CSV save goes with what it holds now.
    followSavableFlag();
}

void MainWindow::onRecordingFinished() {
    liveFeed_->finish();
    session_.endRecording();
    followSavableFlag();
    reportJournalProblem();
}

void MainWindow::reportJournalProblem() {
    if (const std::optional<std::string> problem = session_.takeJournalProblem())
        bridge_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE), *problem,
                            MessageIcon::Warning);
}

void MainWindow::stop() {
    session_.requestStop();
    for (const MonitorKind monitor : {kDataMonitor, kIoMonitor})
        controls(monitor).stopButton->setEnabled(false);
}

// --- Busy and idle ----------------------------------------------------------------------------

void MainWindow::setControlsEnabled(bool enable) {
    const bool confirmed = session_.state().communicationConfirmed.load();
    const bool recording = session_.state().phase() == ProgressPhase::Recording;
    for (QMenu* menu : {fileMenu_, settingMenu_, helpMenu_})
        menu->menuAction()->setEnabled(enable);
    // A restore would take the capture buffer from under a recording.
    unsavedAction_->setEnabled(enable);
    switchButton_->setEnabled(enable);
    dataPage_->setEnabled(enable);
    ioPage_->setEnabled(enable);
    for (SamplingControls& c : sampling_) {
        c.cycleList->setEnabled(enable && confirmed);
        c.timeList->setEnabled(enable && confirmed);
        c.startButton->setEnabled(enable && confirmed);
        c.stopButton->setEnabled(!enable && confirmed && recording);
    }
    if (enable) {
        followSavableFlag();
        setFocus();
    } else {
        showProgress();
        progressTimer_.start();
    }
}

void MainWindow::showProgress() {
    const TextId id = progressStateTextId(session_.state().phase());
    stateLabel_->setText(id < 0 ? "???" : qt(texts_.GetText(id)));
    percentLabel_->setText("0%");
    progressBar_->setValue(0);
    progressBar_->show();
    percentLabel_->show();
    stateLabel_->show();
}

void MainWindow::updateProgress() {
    const int32_t total = session_.state().progressTotal.load();
    if (total <= 0)
        return;
    const int32_t count = std::min(session_.state().progressCount.load(), total);
    int percent = int(int64_t(count) * 100 / total);
    if (percent == 0)
        percent = 1;
    progressBar_->setValue(percent);
    percentLabel_->setText(QString("%1%").arg(percent));
}

void MainWindow::returnToIdle() {
    resetTimer_.stop();
    progressBar_->hide();
    percentLabel_->hide();
    stateLabel_->hide();
    setControlsEnabled(true);
    session_.state().setPhase(ProgressPhase::Idle);
}

void MainWindow::pumpMessages() { QCoreApplication::processEvents(); }

void MainWindow::setPhaseText(const std::string& text) { stateLabel_->setText(qt(text)); }

void MainWindow::startResetTimer(int milliseconds) { resetTimer_.start(milliseconds); }

void MainWindow::stopResetTimer() { resetTimer_.stop(); }

void MainWindow::stopProgressTimer() { progressTimer_.stop(); }

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
