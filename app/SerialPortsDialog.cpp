#include "app/SerialPortsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/DialogSupport.h"

namespace kestiva {

namespace {

constexpr int kHighestPort = 256;

QString deviceText(const SerialDeviceInfo& device) {
    const QString path = QString::fromStdString(device.path);
    if (device.byId.empty())
        return path;
    return path + "  (" + QString::fromStdString(device.readableName()) + ")";
}

// The list entry of the found device that device names, by its by-id name or its node; -1 when
// none does.
int entryOf(const std::vector<SerialDeviceInfo>& devices, const std::string& device) {
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].path == device || devices[i].byId == device)
            return static_cast<int>(i) + 1;  // after the default entry
    }
    return -1;
}

}  // namespace

SerialPortsDialog::SerialPortsDialog(const LanguageCatalogue& texts, std::string programFolder,
                                     int portCount,
                                     const std::vector<SerialDeviceInfo>& devices, QWidget* parent)
    : QDialog(parent), texts_(texts), ports_(std::move(programFolder)) {
    setObjectName("serialPortsDialog");
    setWindowTitle(text(text::DLG_SERIALPORTS_TITLE));

    auto* note = new QLabel(
        text(devices.empty() ? text::DLG_SERIALPORTS_NOTE_NONE : text::DLG_SERIALPORTS_NOTE) +
            "\n" + text(text::DLG_SERIALPORTS_NETWORK),
        this);
    note->setObjectName("noteLabel");
    note->setWordWrap(true);

    const int rowCount = std::clamp(portCount, 0, kHighestPort);
    table_ = new QTableWidget(rowCount, 2, this);
    table_->setObjectName("portTable");
    table_->setHorizontalHeaderLabels(
        {text(text::DLG_SERIALPORTS_COLUMN_PORT), text(text::DLG_SERIALPORTS_COLUMN_DEVICE)});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    for (int number = 1; number <= rowCount; ++number) {
        rows_.push_back(makeRow(number, devices));
        table_->setItem(number - 1, 0,
                        new QTableWidgetItem(QString::fromStdString(rows_.back().name)));
        table_->setCellWidget(number - 1, 1, rows_.back().list);
    }
    table_->setMinimumWidth(520);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Ok)->setText(text(text::DLG_COMSETTING_BUTTON_OK));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    buttons->button(QDialogButtonBox::Cancel)->setText(text(text::DLG_PROGRESS_BUTTON_CANCEL));
    connect(buttons, &QDialogButtonBox::accepted, this, &SerialPortsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SerialPortsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(table_);
    layout->addWidget(buttons);
}

SerialPortsDialog::Row SerialPortsDialog::makeRow(int number,
                                                  const std::vector<SerialDeviceInfo>& devices) {
    Row row;
    row.name = "COM" + std::to_string(number);
    row.list = new QComboBox(this);
    row.list->setObjectName(QString("deviceList%1").arg(number));
    // A network target is typed in; it never becomes an entry until it is written.
    row.list->setEditable(true);
    row.list->setInsertPolicy(QComboBox::NoInsert);
    row.list->setToolTip(text(text::DLG_SERIALPORTS_NETWORK));
    row.list->addItem(QString("(%1: %2)")
                          .arg(text(text::DLG_SERIALPORTS_DEFAULT),
                               QString::fromStdString(PortAccess::defaultDevice(number))));
    row.targets.push_back("");
    for (const SerialDeviceInfo& device : devices) {
        row.list->addItem(deviceText(device));
        row.targets.push_back(device.linkTarget());
    }
    const PortAssignment assigned = ports_.assignment(number);
    if (assigned.linked) {
        row.writtenIndex = entryOf(devices, assigned.device);
        if (row.writtenIndex < 0) {
            // A link to a device that is not plugged in now stays choosable as it is.
            const QString device = QString::fromStdString(assigned.device);
            row.list->addItem(assigned.present || assigned.network
                                  ? device
                                  : device + "  (" + text(text::DLG_COMSETTING_PORT_NOT_PRESENT) +
                                        ")");
            row.targets.push_back(assigned.device);
            row.writtenIndex = row.list->count() - 1;
        }
    }
    row.list->setCurrentIndex(row.writtenIndex);
    return row;
}

QString SerialPortsDialog::text(TextId id) const {
    return toQtText(texts_.GetText(id));
}

bool SerialPortsDialog::chosenTarget(const Row& row, std::string& target, QString& error) const {
    const int index = row.list->currentIndex();
    const QString typed = row.list->currentText().trimmed();
    if (index >= 0 && typed == row.list->itemText(index)) {
        target = row.targets[std::size_t(index)];
        return true;
    }
    target = typed.toStdString();
    std::string wrong;
    if (PortAccess::looksLikeTarget(target) && PortAccess::validTarget(target, wrong))
        return true;
    error = QString::fromStdString(row.name) + ": " + text(text::DLG_SERIALPORTS_BAD_TARGET) +
            " " + typed + (wrong.empty() ? "" : " (" + QString::fromStdString(wrong) + ")");
    return false;
}

void SerialPortsDialog::accept() {
    QStringList failures;
    for (Row& row : rows_) {
        std::string target;
        QString wrong;
        if (!chosenTarget(row, target, wrong)) {
            failures << wrong;
            continue;
        }
        const int index = row.list->currentIndex();
        const bool typed = index < 0 || row.list->currentText().trimmed() != row.list->itemText(index);
        if (!typed && index == row.writtenIndex)
            continue;
        std::string error;
        if (!ports_.assign(row.name, target, error)) {
            failures << QString::fromStdString(error);
        } else if (!typed) {
            row.writtenIndex = index;
        } else {
            // The typed target is now the row's written entry.
            row.list->addItem(QString::fromStdString(target));
            row.targets.push_back(target);
            row.writtenIndex = row.list->count() - 1;
            row.list->setCurrentIndex(row.writtenIndex);
        }
    }
    if (!failures.isEmpty()) {
        showMessageBox(this, windowTitle(), failures.join('\n'), QMessageBox::Warning);
        return;
    }
    QDialog::accept();
}

}  // namespace kestiva
