#pragma once
// The measurements between a page's markers A and B: a line with the markers' times, Δt and
// 1/Δt, a table with a row per shown item or signal, and a button that copies the same
// figures as tab-separated text for a spreadsheet. The figures come from
// recording/MarkerFigures.h as they are; the panel only lays them out.

#include "recording/MarkerFigures.h"
#include "settings/LanguageCatalogue.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kestiva {

// The column titles in the catalogue's language (English where a file leaves them out).
MeasurementTitles measurementTitles(const LanguageCatalogue& catalogue);

class MeasurementPanel : public QWidget {
    Q_OBJECT

public:
    explicit MeasurementPanel(QWidget* parent);

    // The titles and the copy button's text, from the catalogue.
    void setTexts(const MeasurementTitles& titles, const QString& copyText);
    // Shows `figures`, each figure's point as `separator`.
    void showFigures(MarkerFigures figures, QChar separator);

    const MarkerFigures& figures() const { return figures_; }
    // The height the panel needs for what it shows now.
    int neededHeight() const;
    // Puts the figures on the clipboard as measurementsTable writes them.
    void copyToClipboard() const;

private:
    void fillTable(QChar separator);

    MeasurementTitles titles_;
    MarkerFigures figures_;
    QLabel* timesLabel_;
    QTableWidget* table_;
    QPushButton* copyButton_;
};

}  // namespace kestiva
