#pragma once
// The "Serial ports" dialog: for each port name, the device it opens, chosen from the serial
// devices found, or a network target typed into its list. OK writes the System/ports/COMn
// links (or COMn-target files) of the ports whose choice changed. The rows' entries and what
// a choice writes are window/SerialPortRows'.

#include <QDialog>

#include <string>
#include <vector>

#include "session/PortAccess.h"
#include "settings/LanguageCatalogue.h"
#include "window/SerialPortRows.h"

class QComboBox;
class QTableWidget;

namespace kestiva {

class SerialPortsDialog final : public QDialog {
    Q_OBJECT

public:
    // Rows for COM1 to COM<portCount> (at most COM256) of programFolder; each offers its
    // default /dev/ttyS device and devices.
    SerialPortsDialog(const LanguageCatalogue& texts, std::string programFolder, int portCount,
                      const std::vector<SerialDeviceInfo>& devices, QWidget* parent = nullptr);

    // Writes the changed links; stays open and shows why when one could not be written.
    void accept() override;

private:
    QComboBox* makeList(const PortRow& row, int number);
    QString text(TextId id) const;

    const LanguageCatalogue& texts_;
    PortAccess ports_;
    std::vector<PortRow> rows_;
    std::vector<QComboBox*> lists_;  // per row
    QTableWidget* table_ = nullptr;
};

}  // namespace kestiva
