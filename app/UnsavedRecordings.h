#pragma once
// The dialog that lists the recordings whose journals were kept because they were never saved
// as CSV, for a restore. How one is named and which one the start-up question asks about are
// window/StartUpModel's.

#include <QDialog>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "session/Session.h"
#include "window/StartUpModel.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace kestiva {

class UnsavedRecordingsDialog final : public QDialog {
    Q_OBJECT

public:
    UnsavedRecordingsDialog(const LanguageCatalogue& texts, std::vector<JournalEntry> journals,
                            QWidget* parent = nullptr);

    // The journal the user chose to restore (after Restore closed the dialog).
    std::optional<JournalEntry> chosen() const;

private:
    QString text(TextId id) const;

    const LanguageCatalogue& texts_;
    std::vector<JournalEntry> journals_;
    QTableWidget* table_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
};

}  // namespace kestiva
