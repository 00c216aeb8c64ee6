#pragma once
// A CSV recording read as the window's CSV read reads it, and what a monitor page makes of it
// once loaded: each item's values as the page plots them and their smallest and largest.

#include <string>
#include <string_view>
#include <vector>

#include "recording/SampleTables.h"
#include "tools/cli/TerminalSession.h"

namespace kestiva::cli {

// Reads path into the session's page of monitor with the window's CSV read and every check of
// the reader. False after the reader has shown its message (and, for json, printed the
// failure object). version gets line 1's second field.
bool readCsvRecording(TerminalSession& terminal, const std::string& path, MonitorKind monitor,
                      std::string& version, bool json);

// The value the data page plots for a raw word of item: the word read as unsigned for the
// unsigned types and as signed for the others, times the item's scale.
double dataPageValue(const DataItem& item, int32_t raw);

// Decimals the data page shows for a scale text: the digits after its "." once trailing
// zeros are gone ("0.010" gives 2, "10.0" and "1" give 0).
int scaleDecimals(std::string_view scaleText);

struct ItemFigures {
    bool enabled = false;
    std::string name;
    std::string typeName;   // data only
    std::string scaleText;  // data only
    std::string unit;       // data only
    double scale = 1.0;     // 1.0 for a disabled item, as the page keeps it
    int decimals = 0;
    // Extremes of the plotted values (data: raw x scale; I/O: the bits). Meaningful only for
    // an enabled item of a recording with samples.
    double minimum = 0.0;
    double maximum = 0.0;
};

// Items 1 to 3 (data) or signals 1 to 16 (I/O) of the loaded recording.
std::vector<ItemFigures> itemFigures(const PageRecording& page);

}  // namespace kestiva::cli
