#include "window/MeasurementRows.h"

#include <utility>

namespace kestiva {

namespace {

struct TitleKey {
    TextId id;
    std::string MeasurementTitles::* title;
};

constexpr TitleKey kTitleKeys[] = {
    {text::MSG_MEASURE_ITEM, &MeasurementTitles::item},
    {text::MSG_MEASURE_SIGNAL, &MeasurementTitles::signal},
    {text::MSG_MEASURE_UNIT, &MeasurementTitles::unit},
    {text::MSG_MEASURE_TIME_A, &MeasurementTitles::timeA},
    {text::MSG_MEASURE_TIME_B, &MeasurementTitles::timeB},
    {text::MSG_MEASURE_DELTA, &MeasurementTitles::delta},
    {text::MSG_MEASURE_INVERSE_DELTA, &MeasurementTitles::inverseDelta},
    {text::MSG_MEASURE_AT_A, &MeasurementTitles::atA},
    {text::MSG_MEASURE_AT_B, &MeasurementTitles::atB},
    {text::MSG_MEASURE_DIFFERENCE, &MeasurementTitles::difference},
    {text::MSG_MEASURE_MINIMUM, &MeasurementTitles::minimum},
    {text::MSG_MEASURE_MINIMUM_TIME, &MeasurementTitles::minimumTime},
    {text::MSG_MEASURE_MAXIMUM, &MeasurementTitles::maximum},
    {text::MSG_MEASURE_MAXIMUM_TIME, &MeasurementTitles::maximumTime},
    {text::MSG_MEASURE_MEAN, &MeasurementTitles::mean},
    {text::MSG_MEASURE_RMS, &MeasurementTitles::rms},
    {text::MSG_MEASURE_LEVEL_A, &MeasurementTitles::levelA},
    {text::MSG_MEASURE_LEVEL_B, &MeasurementTitles::levelB},
    {text::MSG_MEASURE_RISING_EDGES, &MeasurementTitles::risingEdges},
    {text::MSG_MEASURE_FALLING_EDGES, &MeasurementTitles::fallingEdges},
    {text::MSG_MEASURE_FIRST_EDGE, &MeasurementTitles::firstEdge},
    {text::MSG_MEASURE_TIME_HIGH, &MeasurementTitles::timeHigh},
};

// A figure with its point as the page's separator.
std::string pointed(std::string text, const std::string& separator) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (c == '.')
            out += separator;
        else
            out += c;
    return out;
}

std::vector<std::vector<std::string>> itemRows(const MarkerFigures& f, const std::string& sep) {
    std::vector<std::vector<std::string>> rows;
    for (const ItemMeasurement& m : f.items)
        rows.push_back({m.name, m.unit, pointed(m.atAText, sep), pointed(m.atBText, sep),
                        pointed(m.differenceText, sep), pointed(m.minimumText, sep),
                        pointed(m.minimumTimeText, sep), pointed(m.maximumText, sep),
                        pointed(m.maximumTimeText, sep), pointed(m.meanText, sep),
                        pointed(m.rmsText, sep)});
    return rows;
}

std::vector<std::vector<std::string>> signalRows(const MarkerFigures& f,
                                                 const std::string& sep) {
    std::vector<std::vector<std::string>> rows;
    for (const SignalMeasurement& m : f.ioSignals)
        rows.push_back({m.name, std::to_string(m.levelA), std::to_string(m.levelB),
                        std::to_string(m.risingEdges), std::to_string(m.fallingEdges),
                        pointed(m.firstEdgeTimeText, sep), pointed(m.highTimeText, sep)});
    return rows;
}

}  // namespace

MeasurementTitles measurementTitles(const LanguageCatalogue& catalogue) {
    MeasurementTitles titles;
    for (const TitleKey& key : kTitleKeys)
        titles.*key.title = catalogue.GetText(key.id);
    return titles;
}

MeasurementRows measurementRows(MarkerFigures figures, const MeasurementTitles& t,
                                const std::string& separator) {
    MeasurementRows r;
    const std::string gap = "    ";
    r.timesText = t.timeA + ' ' + pointed(figures.aTimeText, separator) + gap + t.timeB + ' ' +
                  pointed(figures.bTimeText, separator) + gap + t.delta + ' ' +
                  pointed(figures.deltaText, separator) + gap + t.inverseDelta + ' ' +
                  pointed(figures.inverseDeltaText, separator);
    if (figures.kind == kIoMonitor) {
        r.titles = {t.signal,       t.levelA,    t.levelB,  t.risingEdges,
                    t.fallingEdges, t.firstEdge, t.timeHigh};
        r.rows = signalRows(figures, separator);
    } else {
        r.titles = {t.item,    t.unit,        t.atA,  t.atB, t.difference, t.minimum,
                    t.minimumTime, t.maximum, t.maximumTime, t.mean, t.rms};
        r.rows = itemRows(figures, separator);
    }
    r.figures = std::move(figures);
    return r;
}

}  // namespace kestiva
