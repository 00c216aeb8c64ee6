#pragma once
// What the measurement panel between markers A and B shows, as texts: the line with the
// markers' times, Δt and 1/Δt, the table's column titles and a row per shown item or signal,
// each figure's point as the page's separator. The figures are recording/MarkerFigures.h's
// as they are; a front end only lays them out.

#include "recording/MarkerFigures.h"
#include "settings/LanguageCatalogue.h"

#include <string>
#include <vector>

namespace kestiva {

// The column titles in the catalogue's language (English where a file leaves them out).
MeasurementTitles measurementTitles(const LanguageCatalogue& catalogue);

struct MeasurementRows {
    MarkerFigures figures;
    std::string timesText;
    std::vector<std::string> titles;
    std::vector<std::vector<std::string>> rows;
};

MeasurementRows measurementRows(MarkerFigures figures, const MeasurementTitles& titles,
                                const std::string& separator);

}  // namespace kestiva
