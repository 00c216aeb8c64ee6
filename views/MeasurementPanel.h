#pragma once
// The measurements between a page's markers A and B: a line with the markers' times, Δt and
// 1/Δt, a table with a row per shown item or signal, and a button that asks for the same
// figures as tab-separated text for a spreadsheet. The texts come from the page's model
// (window/MeasurementRows.h) as they are; the panel only lays them out.

#include "window/MeasurementRows.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kestiva {

class MeasurementPanel : public QWidget {
    Q_OBJECT

public:
    explicit MeasurementPanel(QWidget* parent);

    void setCopyText(const QString& text);
    void showRows(const MeasurementRows& rows);

    const MarkerFigures& figures() const { return figures_; }
    // The height the panel needs for what it shows now.
    int neededHeight() const;

signals:
    // The copy button was pressed: the page's model puts the table on the clipboard.
    void copyRequested();

private:
    MarkerFigures figures_;
    QLabel* timesLabel_;
    QTableWidget* table_;
    QPushButton* copyButton_;
};

}  // namespace kestiva
