#include "app/SerialPortsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/DialogSupport.h"

namespace kestiva {

SerialPortsDialog::SerialPortsDialog(const LanguageCatalogue& texts, std::string programFolder,
                                     int portCount,
                                     const std::vector<SerialDeviceInfo>& devices, QWidget* parent)
    : QDialog(parent),
      texts_(texts),
      ports_(std::move(programFolder)),
      rows_(makePortRows(texts, ports_, portCount, devices)) {
    setObjectName("serialPortsDialog");
    setWindowTitle(text(text::DLG_SERIALPORTS_TITLE));

    auto* note = new QLabel(
        text(devices.empty() ? text::DLG_SERIALPORTS_NOTE_NONE : text::DLG_SERIALPORTS_NOTE) +
            "\n" + text(text::DLG_SERIALPORTS_NETWORK),
        this);
    note->setObjectName("noteLabel");
    note->setWordWrap(true);

    table_ = new QTableWidget(int(rows_.size()), 2, this);
    table_->setObjectName("portTable");
    table_->setHorizontalHeaderLabels(
        {text(text::DLG_SERIALPORTS_COLUMN_PORT), text(text::DLG_SERIALPORTS_COLUMN_DEVICE)});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    for (int number = 1; number <= int(rows_.size()); ++number) {
        const PortRow& row = rows_[std::size_t(number - 1)];
        lists_.push_back(makeList(row, number));
        table_->setItem(number - 1, 0, new QTableWidgetItem(toQtText(row.name)));
        table_->setCellWidget(number - 1, 1, lists_.back());
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

QComboBox* SerialPortsDialog::makeList(const PortRow& row, int number) {
    auto* list = new QComboBox(this);
    list->setObjectName(QString("deviceList%1").arg(number));
    // A network target is typed in; it never becomes an entry until it is written.
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setToolTip(text(text::DLG_SERIALPORTS_NETWORK));
    for (const std::string& entry : row.entries)
        list->addItem(toQtText(entry));
    list->setCurrentIndex(row.writtenIndex);
    return list;
}

QString SerialPortsDialog::text(TextId id) const { return toQtText(texts_.GetText(id)); }

void SerialPortsDialog::accept() {
    std::vector<std::string> choices;
    for (const QComboBox* list : lists_)
        choices.push_back(list->currentText().toStdString());
    const std::vector<std::string> failures = applyPortChoices(texts_, ports_, rows_, choices);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        // A typed target that was written is an entry of its row now; a refused one stays
        // typed, for the user to mend.
        QComboBox* list = lists_[i];
        const PortRow& row = rows_[i];
        for (std::size_t entry = std::size_t(list->count()); entry < row.entries.size(); ++entry)
            list->addItem(toQtText(row.entries[entry]));
        const QString written = toQtText(row.entries[std::size_t(row.writtenIndex)]);
        if (list->currentText().trimmed() == written)
            list->setCurrentIndex(row.writtenIndex);
    }
    if (!failures.empty()) {
        QStringList said;
        for (const std::string& failure : failures)
            said << toQtText(failure);
        showMessageBox(this, windowTitle(), said.join('\n'), QMessageBox::Warning);
        return;
    }
    QDialog::accept();
}

}  // namespace kestiva
