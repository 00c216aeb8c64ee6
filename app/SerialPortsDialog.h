#pragma once
// The "Serial ports" dialog: for each port name, the device it opens, chosen from the serial
// devices found, or a network target typed into its list. OK writes the System/ports/COMn
// links (or COMn-target files) of the ports whose choice changed.

#include <QDialog>

#include <string>
#include <vector>

#include "session/PortAccess.h"
#include "settings/LanguageCatalogue.h"

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
    struct Row {
        std::string name;
        QComboBox* list = nullptr;
        std::vector<std::string> targets;  // per list entry: the link target, "" for the default
        int writtenIndex = 0;              // the entry the link on disk stands for
    };

    Row makeRow(int number, const std::vector<SerialDeviceInfo>& devices);
    // What row's list now asks for: the chosen entry's target, or the text typed into it.
    // False with error for typed text that is no well-formed network target.
    bool chosenTarget(const Row& row, std::string& target, QString& error) const;
    QString text(TextId id) const;

    const LanguageCatalogue& texts_;
    PortAccess ports_;
    QTableWidget* table_ = nullptr;
    std::vector<Row> rows_;
};

}  // namespace kestiva
