#include "app/UnsavedRecordings.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kestiva {

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
        const std::string cells[] = {startTimeText(entry.startTime),
                                     monitorName(texts_, entry.monitor), entry.controller,
                                     durationText(entry.durationSeconds)};
        for (int column = 0; column < 4; ++column)
            table_->setItem(row, column,
                           new QTableWidgetItem(QString::fromStdString(cells[column])));
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
