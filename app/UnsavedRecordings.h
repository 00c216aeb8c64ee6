#pragma once
// The recordings whose journals were kept because they were never saved as CSV: how one is
// named to the user, which one the start-up question asks about (each only once), and the
// dialog that lists them all for a restore.

#include <QDialog>
#include <QString>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "session/Session.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace kestiva {

// A recording's start as local date and time, and its length as m:ss or h:mm:ss.
QString startTimeText(std::time_t start);
QString durationText(double seconds);
// The monitor's name as the catalogue gives it.
QString monitorName(const LanguageCatalogue& texts, MonitorKind monitor);

// The newest journal cut short before its end (a crash, a kill, a power cut) that the start-up
// question has not asked about yet. Once asked, whatever the answer, it is noted in the
// journal folder and not asked about again: it stays in the dialog until it is pruned.
std::optional<JournalEntry> journalToOffer(const Session& session);
void noteJournalOffered(const Session& session, const JournalEntry& entry);
// The start-up question's text for entry.
QString offerText(const LanguageCatalogue& texts, const JournalEntry& entry);

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
