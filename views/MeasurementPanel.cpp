#include "views/MeasurementPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestiva {

namespace {

// More rows than this scroll: the graph keeps most of the page.
constexpr int kMostRowsShown = 4;

}  // namespace

MeasurementPanel::MeasurementPanel(QWidget* parent) : QWidget(parent) {
    timesLabel_ = new QLabel(this);
    timesLabel_->setObjectName(QStringLiteral("markerTimesLabel"));
    timesLabel_->setTextFormat(Qt::PlainText);
    timesLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    copyButton_ = new QPushButton(this);
    copyButton_->setObjectName(QStringLiteral("copyMeasurementsButton"));
    connect(copyButton_, &QPushButton::clicked, this, &MeasurementPanel::copyRequested);
    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("measurementTable"));
    table_->setAccessibleName(QStringLiteral("Measurements between the markers"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* top = new QHBoxLayout;
    top->addWidget(timesLabel_, 1);
    top->addWidget(copyButton_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(top);
    column->addWidget(table_, 1);
    hide();
}

void MeasurementPanel::setCopyText(const QString& text) {
    copyButton_->setText(text);
}

void MeasurementPanel::showRows(const MeasurementRows& rows) {
    figures_ = rows.figures;
    timesLabel_->setText(QString::fromStdString(rows.timesText));
    QStringList titles;
    for (const std::string& title : rows.titles)
        titles << QString::fromStdString(title);
    table_->setColumnCount(int(titles.size()));
    table_->setHorizontalHeaderLabels(titles);
    table_->setRowCount(int(rows.rows.size()));
    for (std::size_t r = 0; r < rows.rows.size(); ++r) {
        for (std::size_t c = 0; c < rows.rows[r].size(); ++c) {
            const QString text = QString::fromStdString(rows.rows[r][c]);
            if (QTableWidgetItem* item = table_->item(int(r), int(c)))
                item->setText(text);
            else
                table_->setItem(int(r), int(c), new QTableWidgetItem(text));
        }
    }
}

int MeasurementPanel::neededHeight() const {
    const int rows = std::clamp(table_->rowCount(), 1, kMostRowsShown);
    const int table = table_->horizontalHeader()->sizeHint().height() +
                      rows * table_->verticalHeader()->defaultSectionSize() +
                      2 * table_->frameWidth() +
                      table_->horizontalScrollBar()->sizeHint().height();
    const int top = std::max(timesLabel_->sizeHint().height(), copyButton_->sizeHint().height());
    return top + layout()->spacing() + table;
}

}  // namespace kestiva
