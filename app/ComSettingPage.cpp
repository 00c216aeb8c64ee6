#include "app/ComSettingPage.h"

#include <string>

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/CheckWindow.h"
#include "app/DialogSupport.h"
#include "app/SerialPortsDialog.h"
#include "session/Session.h"

namespace kestiva {

namespace {

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

ComSettingPage::ComSettingPage(Session& session, ComSettingMemory& memory, QWidget* parent)
    : QWidget(parent), session_(session), model_(session, memory, *this) {
    setObjectName("comSettingPage");
    buildControls();
    model_.fillLists();
    applyCaptions();
    swallowEnterAndEscape(this);

    connect(autoRadio_, &QRadioButton::clicked, this, [this] { model_.chooseAutomatic(); });
    connect(manualRadio_, &QRadioButton::clicked, this, [this] { model_.chooseManual(); });
    connect(portList_, &QComboBox::activated, this, [this](int i) { model_.choosePort(i); });
    connect(stationList_, &QComboBox::activated, this, [this](int i) { model_.chooseStation(i); });
    connect(bitRateList_, &QComboBox::activated, this, [this](int i) { model_.chooseBitRate(i); });
    connect(initializeButton_, &QPushButton::clicked, this, [this] { model_.reset(); });
    connect(checkButton_, &QPushButton::clicked, this, &ComSettingPage::onCheck);
    connect(serialPortsButton_, &QPushButton::clicked, this, &ComSettingPage::onSerialPorts);
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

void ComSettingPage::loadFromSettings() { model_.load(); }

QWidget* ComSettingPage::control(ComControl which) const {
    switch (which) {
        case ComControl::PortList: return portList_;
        case ComControl::AutoRadio: return autoRadio_;
        case ComControl::ManualRadio: return manualRadio_;
        case ComControl::StationLabel: return stationLabel_;
        case ComControl::StationList: return stationList_;
        case ComControl::BitRateLabel: return bitRateLabel_;
        case ComControl::BitRateList: return bitRateList_;
        case ComControl::InitializeButton: return initializeButton_;
        case ComControl::OkButton: return nullptr;  // the frame's
    }
    return nullptr;
}

QComboBox* ComSettingPage::list(ComControl which) const {
    return qobject_cast<QComboBox*>(control(which));
}

void ComSettingPage::setItems(ComControl which, const std::vector<std::string>& items) {
    QComboBox* box = list(which);
    if (!box)
        return;
    // A list of the same length keeps its entries and only changes their texts.
    if (box->count() != int(items.size())) {
        box->clear();
        for (std::size_t i = 0; i < items.size(); ++i)
            box->addItem(QString());
    }
    for (int i = 0; i < box->count(); ++i) {
        box->setItemText(i, QString::fromStdString(items[std::size_t(i)]));
        // The port's name stays with its entry, whatever text shows the device.
        if (which == ComControl::PortList)
            box->setItemData(i, QString("COM%1").arg(i + 1));
    }
}

void ComSettingPage::setCurrentIndex(ComControl which, int index) {
    if (QComboBox* box = list(which))
        box->setCurrentIndex(index);
}

void ComSettingPage::setChecked(ComControl radio, bool checked) {
    if (auto* button = qobject_cast<QRadioButton*>(control(radio)))
        button->setChecked(checked);
}

void ComSettingPage::setEnabled(ComControl which, bool enabled) {
    if (which == ComControl::OkButton) {
        if (enabled)
            emit checkEnded();
        else
            emit confirmationWithdrawn();
        return;
    }
    if (QWidget* widget = control(which))
        widget->setEnabled(enabled);
}

void ComSettingPage::showMessage(const std::string& caption, const std::string& text,
                                 MessageIcon icon) {
    showMessageBox(this, toQtText(caption), toQtText(text), toQtIcon(icon));
}

void ComSettingPage::onCheck() {
    model_.check([this](const CheckChoice& choice) {
        CheckWindow window(session_, choice, this);
        return window.run().has_value();
    });
}

void ComSettingPage::onSerialPorts() {
    model_.editPorts([this] {
        SerialPortsDialog dialog(session_.texts(), session_.programFolder(), model_.portCount(),
                                 session_.ports().devices(), this);
        return dialog.exec() == QDialog::Accepted;
    });
}

}  // namespace kestiva
