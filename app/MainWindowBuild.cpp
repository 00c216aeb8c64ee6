#include "app/MainWindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/LiveFeed.h"
#include "views/DataMonitor.h"
#include "views/IoMonitor.h"

// The main window's controls and menus as they are made; what they show is the model's.

namespace kestiva {

namespace {

constexpr int kRunIconSide = 48;

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


}  // namespace

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
    connect(switchButton_, &QPushButton::clicked, this, [this] { model_.switchMonitor(); });
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
    dataPage_->initialise(model_.activeColors(kDataMonitor));
    ioPage_->initialise(model_.activeColors(kIoMonitor));
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

}  // namespace kestiva
