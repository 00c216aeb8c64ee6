#include "app/UnsavedRecordings.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

namespace kestiva {

namespace {

// The journals the start-up question has asked about, by file name, one a line.
constexpr const char* kOfferedNote = "offered.txt";

QString offeredNotePath(const Session& session) {
    return QString::fromStdString(session.journalFolder() + kOfferedNote);
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::set<std::string> offeredJournals(const Session& session) {
    std::set<std::string> names;
    QFile note(offeredNotePath(session));
    if (!note.open(QIODevice::ReadOnly | QIODevice::Text))
        return names;
    while (!note.atEnd()) {
        const QString line = QString::fromUtf8(note.readLine()).trimmed();
        if (!line.isEmpty())
            names.insert(line.toStdString());
    }
    return names;
}

}  // namespace

QString startTimeText(std::time_t start) {
    return QDateTime::fromSecsSinceEpoch(qint64(start)).toString("yyyy-MM-dd HH:mm:ss");
}

QString durationText(double seconds) {
    const long long total = std::max(0LL, std::llround(seconds));
    const long long hours = total / 3600, minutes = total / 60 % 60, rest = total % 60;
    const auto twoDigits = [](long long n) { return QString("%1").arg(n, 2, 10, QChar('0')); };
    if (hours > 0)
        return QString::number(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(rest);
    return QString::number(minutes) + ":" + twoDigits(rest);
}

QString monitorName(const LanguageCatalogue& texts, MonitorKind monitor) {
    return QString::fromStdString(texts.GetText(
        monitor == kDataMonitor ? text::BTN_MONITOR_TITLE_DATA : text::BTN_MONITOR_TITLE_IO));
}

std::optional<JournalEntry> journalToOffer(const Session& session) {
    const std::set<std::string> offered = offeredJournals(session);
    for (const JournalEntry& entry : session.listJournals())
        if (!entry.ended && !entry.recording && !offered.contains(fileName(entry.path)))
            return entry;
    return std::nullopt;
}

void noteJournalOffered(const Session& session, const JournalEntry& entry) {
    // Only names of journals still kept are written again: the note never outgrows the folder.
    const std::set<std::string> offered = offeredJournals(session);
    QSaveFile note(offeredNotePath(session));
    if (!note.open(QIODevice::WriteOnly | QIODevice::Text))
        return;  // asked again at the next start, which is no harm
    for (const JournalEntry& kept : session.listJournals()) {
        const std::string name = fileName(kept.path);
        if (kept.path == entry.path || offered.contains(name))
            note.write((name + "\n").c_str());
    }
    note.commit();
}

QString offerText(const LanguageCatalogue& texts, const JournalEntry& entry) {
    return QString::fromStdString(texts.GetText(text::MSG_JOURNAL_OFFER))
        .arg(monitorName(texts, entry.monitor), startTimeText(entry.startTime),
             durationText(entry.durationSeconds));
}

// --- The dialog -----------------------------------------------------------------------------

UnsavedRecordingsDialog::UnsavedRecordingsDialog(const LanguageCatalogue& texts,
                                                 std::vector<JournalEntry> journals,
                                                 QWidget* parent)
    : QDialog(parent), texts_(texts), journals_(std::move(journals)) {
    // A recording still running keeps its journal: nothing to restore yet.
    std::erase_if(journals_, [](const JournalEntry& entry) { return entry.recording; });
    setObjectName("unsavedRecordingsDialog");
    setWindowTitle(text(text::DLG_UNSAVED_TITLE));

    auto* note = new QLabel(
        text(journals_.empty() ? text::DLG_UNSAVED_NOTE_NONE : text::DLG_UNSAVED_NOTE), this);
    note->setObjectName("noteLabel");
    note->setWordWrap(true);

    table_ = new QTableWidget(int(journals_.size()), 4, this);
    table_->setObjectName("journalTable");
    table_->setHorizontalHeaderLabels(
        {text(text::DLG_UNSAVED_COLUMN_START), text(text::DLG_UNSAVED_COLUMN_MONITOR),
         text(text::DLG_UNSAVED_COLUMN_CONTROLLER), text(text::DLG_UNSAVED_COLUMN_DURATION)});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < int(journals_.size()); ++row) {
        const JournalEntry& entry = journals_[std::size_t(row)];
        const QString cells[] = {startTimeText(entry.startTime),
                                 monitorName(texts_, entry.monitor),
                                 QString::fromStdString(entry.controller),
                                 durationText(entry.durationSeconds)};
        for (int column = 0; column < 4; ++column)
            table_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    table_->setMinimumWidth(560);
    table_->setVisible(!journals_.empty());

    auto* buttons = new QDialogButtonBox(this);
    restoreButton_ =
        buttons->addButton(text(text::DLG_UNSAVED_BUTTON_RESTORE), QDialogButtonBox::AcceptRole);
    restoreButton_->setObjectName("restoreButton");
    QPushButton* close =
        buttons->addButton(text(text::DLG_UNSAVED_BUTTON_CLOSE), QDialogButtonBox::RejectRole);
    close->setObjectName("closeButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Restore takes the chosen row: there is one to choose from the start, the newest.
    connect(table_, &QTableWidget::itemSelectionChanged, this,
            [this] { restoreButton_->setEnabled(chosen().has_value()); });
    connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
    if (!journals_.empty())
        table_->selectRow(0);
    restoreButton_->setEnabled(chosen().has_value());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(table_);
    layout->addWidget(buttons);
}

std::optional<JournalEntry> UnsavedRecordingsDialog::chosen() const {
    const QList<QTableWidgetItem*> selected = table_->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return journals_[std::size_t(selected.front()->row())];
}

QString UnsavedRecordingsDialog::text(TextId id) const {
    return QString::fromStdString(texts_.GetText(id));
}

}  // namespace kestiva
