#include "app/ComSettingPage.h"

#include <string>

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "app/CheckWindow.h"
#include "app/DialogSupport.h"
#include "app/SerialPortsDialog.h"
#include "session/Session.h"

namespace kestiva {

namespace {

constexpr int kStationCount = 32;
constexpr const char* kInitialBitRate = "38400";
constexpr const char* kInitialStation = "1";
constexpr int32_t kInitialResponseDelay = 5;

QPushButton* makeButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter never presses a button of the page; the user clicks or uses Space.
    button->setAutoDefault(false);
    return button;
}

QComboBox* makeList(const char* name, QLabel* label, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    label->setBuddy(list);
    return list;
}

QLabel* makeLabel(const QString& caption, const char* name, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

}  // namespace

QString portItemText(const LanguageCatalogue& texts, const QString& name,
                     const std::string& device) {
    if (device.empty())
        return name + "  (" + toQtText(texts.GetText(text::DLG_COMSETTING_PORT_NO_DEVICE)) + ")";
    // Whether a network target answers shows at the check, not in a list.
    if (PortAccess::looksLikeTarget(device))
        return name + "  (" + QString::fromStdString(device) + ")";
    const QFileInfo info(QString::fromStdString(device));
    if (info.exists())
        return name + "  (" + info.canonicalFilePath() + ")";
    const QString shown = info.isSymLink() ? info.symLinkTarget() : info.filePath();
    return name + "  (" + shown + ", " +
           toQtText(texts.GetText(text::DLG_COMSETTING_PORT_NOT_PRESENT)) + ")";
}

ComSettingPage::ComSettingPage(Session& session, ComSettingMemory& memory, QWidget* parent)
    : QWidget(parent), session_(session), memory_(memory) {
    setObjectName("comSettingPage");
    buildControls();
    fillLists();
    applyCaptions();
    swallowEnterAndEscape(this);

    connect(autoRadio_, &QRadioButton::clicked, this, &ComSettingPage::onAutoRadioClicked);
    connect(manualRadio_, &QRadioButton::clicked, this, &ComSettingPage::onManualRadioClicked);
    connect(portList_, &QComboBox::activated, this, &ComSettingPage::onPortChosen);
    connect(stationList_, &QComboBox::activated, this, &ComSettingPage::onStationChosen);
    connect(bitRateList_, &QComboBox::activated, this, &ComSettingPage::onBitRateChosen);
    connect(initializeButton_, &QPushButton::clicked, this, &ComSettingPage::onInitialize);
    connect(checkButton_, &QPushButton::clicked, this, &ComSettingPage::onCheck);
    connect(serialPortsButton_, &QPushButton::clicked, this, &ComSettingPage::onSerialPorts);
}

ComSettingPage::~ComSettingPage() {
    if (portOpened_)
        session_.closeCheckPort();
}

void ComSettingPage::buildControls() {
    portGroup_ = new QGroupBox("Port", this);
    portGroup_->setObjectName("portGroup");
    portLabel_ = makeLabel("COM port:", "portLabel", portGroup_);
    portList_ = makeList("portList", portLabel_, portGroup_);
    portList_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    serialPortsButton_ =
        makeButton(toQtText(session_.texts().GetText(text::DLG_COMSETTING_BUTTON_SERIAL_PORTS)),
                   "serialPortsButton", portGroup_);
    auto* portLayout = new QGridLayout(portGroup_);
    portLayout->addWidget(portLabel_, 0, 0);
    portLayout->addWidget(portList_, 0, 1);
    portLayout->addWidget(serialPortsButton_, 0, 2);
    portLayout->setColumnStretch(3, 1);

    methodGroup_ = new QGroupBox("Communication method", this);
    methodGroup_->setObjectName("methodGroup");
    autoRadio_ = new QRadioButton("&Automatic search", methodGroup_);
    autoRadio_->setObjectName("autoRadio");
    manualRadio_ = new QRadioButton("&Manual", methodGroup_);
    manualRadio_->setObjectName("manualRadio");

    auto* warningIcon = new QLabel(methodGroup_);
    warningIcon->setObjectName("warningIcon");
    warningIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(24, 24));
    warningLabel_ = makeLabel(
        "The automatic search tries every station ID at every bit rate. "
        "It can take a few minutes.",
        "warningLabel", methodGroup_);
    warningLabel_->setWordWrap(true);

    stationLabel_ = makeLabel("Station ID:", "stationLabel", methodGroup_);
    stationList_ = makeList("stationList", stationLabel_, methodGroup_);
    bitRateLabel_ = makeLabel("Bit rate [bps]:", "bitRateLabel", methodGroup_);
    bitRateList_ = makeList("bitRateList", bitRateLabel_, methodGroup_);
    initializeButton_ = makeButton("&Reset", "initializeButton", methodGroup_);

    // Column 0 indents what belongs to a radio button.
    auto* method = new QGridLayout(methodGroup_);
    method->setColumnMinimumWidth(0, 18);
    method->setColumnStretch(3, 1);
    method->addWidget(autoRadio_, 0, 0, 1, 4);
    method->addWidget(warningIcon, 1, 1, Qt::AlignTop);
    method->addWidget(warningLabel_, 1, 2, 1, 2);
    method->setRowMinimumHeight(2, 6);
    method->addWidget(manualRadio_, 3, 0, 1, 4);
    method->addWidget(stationLabel_, 4, 1, 1, 1);
    method->addWidget(stationList_, 4, 2);
    method->addWidget(bitRateLabel_, 5, 1, 1, 1);
    method->addWidget(bitRateList_, 5, 2);
    method->addWidget(initializeButton_, 6, 2, Qt::AlignLeft);

    checkButton_ = makeButton("&Check Communication", "checkButton", this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(portGroup_);
    layout->addWidget(methodGroup_);
    layout->addWidget(checkButton_, 0, Qt::AlignRight);
}

void ComSettingPage::fillLists() {
    const int portCount = std::clamp(session_.settings().portCount, 0, kMaxListedPorts);
    for (int n = 1; n <= portCount; ++n)
        portList_->addItem(QString(), QString("COM%1").arg(n));
    refreshPortTexts();
    for (int station = 1; station <= kStationCount; ++station)
        stationList_->addItem(QString::number(station));
    for (int bitRate : CommunicationCheck::kSearchBitRates)
        bitRateList_->addItem(QString::number(bitRate));
}

void ComSettingPage::refreshPortTexts() {
    for (int i = 0; i < portList_->count(); ++i) {
        const QString name = portList_->itemData(i).toString();
        const std::string device = session_.ports().device(name.toStdString());
        portList_->setItemText(i, portItemText(session_.texts(), name, device));
    }
}

void ComSettingPage::applyCaptions() {
    CaptionTable captions;
    captions.add("DLG_COMSETTING_GROUP_PORTSELECT", portGroup_);
    captions.add("DLG_COMSETTING_PORT_TITLE", portLabel_);
    captions.add("DLG_COMSETTING_GROUP_COMMETHOD", methodGroup_);
    captions.add("DLG_COMSETTING_RADIOBUTTON_AUTO", autoRadio_);
    captions.add("DLG_COMSETTING_RADIOBUTTON_MANUAL", manualRadio_);
    captions.add("DLG_COMSETTING_TEXT_WARN", warningLabel_);
    captions.add("DLG_COMSETTING_MANUAL_ID", stationLabel_);
    captions.add("DLG_COMSETTING_MANUAL_BITRATE", bitRateLabel_);
    captions.add("DLG_COMSETTING_MANUAL_BUTTON_INITIALIZE", initializeButton_);
    captions.add("DLG_COMSETTING_BUTTON_COMCHECK", checkButton_);
    captions.apply(session_.texts());
}

void ComSettingPage::loadFromSettings() {
    const CommunicationSettings& settings = session_.settings();
    portList_->setCurrentIndex(
        std::max(0, portList_->findData(QString::fromStdString(settings.portName))));
    if (settings.autoSearch)
        onAutoRadioClicked();
    else
        onManualRadioClicked();
    // A station beyond the list leaves it without a selection.
    stationList_->setCurrentIndex(settings.stationId < 1 ? 0 : settings.stationId - 1);
    bitRateList_->setCurrentIndex(
        std::max(0, bitRateList_->findText(QString::number(settings.bitRate))));
    // The port is held from now on; one that does not open is reported by the check button.
    if (!session_.checkPortOpen())
        portOpened_ = session_.openCheckPortQuietly(selectedPortName());
}

void ComSettingPage::noteListIndex(int& remembered, int index) {
    if (index != remembered) {
        session_.settings().verifiedStation = -1;
        remembered = index;
    }
}

void ComSettingPage::noteRadioState(int& remembered, const QRadioButton* radio) {
    // The remembered state becomes "checked" whatever was seen, so only the first handling of
    // each radio in a run withdraws the station; OK waits for a new check all the same.
    if ((radio->isChecked() ? 1 : 0) != remembered)
        session_.settings().verifiedStation = -1;
    remembered = 1;
}

void ComSettingPage::setManualEntryEnabled(bool enabled) {
    for (QWidget* widget : std::initializer_list<QWidget*>{
             stationLabel_, stationList_, bitRateLabel_, bitRateList_, initializeButton_})
        widget->setEnabled(enabled);
}

void ComSettingPage::onAutoRadioClicked() {
    noteRadioState(memory_.autoRadio, autoRadio_);
    autoRadio_->setChecked(true);
    manualRadio_->setChecked(false);
    setManualEntryEnabled(false);
    session_.settings().autoSearch = true;
    emit confirmationWithdrawn();
}

void ComSettingPage::onManualRadioClicked() {
    noteRadioState(memory_.manualRadio, manualRadio_);
    manualRadio_->setChecked(true);
    autoRadio_->setChecked(false);
    setManualEntryEnabled(true);
    session_.settings().autoSearch = false;
    onPortChosen();
}

void ComSettingPage::onPortChosen() {
    noteListIndex(memory_.portIndex, portList_->currentIndex());
    session_.settings().portName = selectedPortName();
    emit confirmationWithdrawn();
}

void ComSettingPage::onStationChosen() {
    noteListIndex(memory_.stationIndex, stationList_->currentIndex());
    emit confirmationWithdrawn();
}

void ComSettingPage::onBitRateChosen() {
    noteListIndex(memory_.bitRateIndex, bitRateList_->currentIndex());
    emit confirmationWithdrawn();
}

void ComSettingPage::onInitialize() {
    bitRateList_->setCurrentIndex(bitRateList_->findText(kInitialBitRate));
    stationList_->setCurrentIndex(stationList_->findText(kInitialStation));
    session_.configureCheckPort(int32_t(std::stoi(kInitialBitRate)), kInitialResponseDelay);
    const LanguageCatalogue& texts = session_.texts();
    showMessageBox(this, toQtText(texts.GetText(text::MSG_ALARM_TITLE)),
                   toQtText(texts.GetText(text::MSG_COMSETTING_COMINITIALIZE_INITIALIZED)),
                   QMessageBox::Information);
    session_.settings().verifiedStation = -1;
    emit confirmationWithdrawn();
}

void ComSettingPage::onCheck() {
    portOpened_ = true;
    if (session_.openCheckPort(selectedPortName())) {
        CheckWindow window(session_, checkChoice(), this);
        if (!window.run()) {
            // No worker could be started: the link is as unconfirmed as after a failed check.
            session_.settings().verifiedStation = -1;
            session_.state().communicationConfirmed = false;
        }
    }
    emit checkEnded();
}

void ComSettingPage::onSerialPorts() {
    const std::string port = selectedPortName();
    const int number = PortAccess::number(port);
    const auto assignedDevice = [&] {
        return number == 0 ? std::string()
                           : session_.ports().assignment(number).device;
    };
    const std::string before = assignedDevice();
    SerialPortsDialog dialog(session_.texts(), session_.programFolder(), portList_->count(),
                             session_.ports().devices(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    refreshPortTexts();
    if (assignedDevice() == before)
        return;
    // A check of the old device confirms nothing about the new one; the port held since the
    // page's load is the old device, so it is taken again.
    session_.settings().verifiedStation = -1;
    if (session_.checkPortOpen())
        portOpened_ = session_.openCheckPortQuietly(port);
    emit confirmationWithdrawn();
}

std::string ComSettingPage::selectedPortName() const {
    return portList_->currentData().toString().toStdString();
}

CheckChoice ComSettingPage::checkChoice() const {
    return {autoRadio_->isChecked(), stationList_->currentText().toStdString(),
            bitRateList_->currentText().toStdString()};
}

}  // namespace kestiva
