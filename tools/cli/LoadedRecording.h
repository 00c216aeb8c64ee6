#pragma once
// A CSV recording read as the window's CSV read reads it, and what a monitor page makes of it
// once loaded: each item's values as the page plots them and their smallest and largest.

#include <string>
#include <string_view>
#include <vector>

#include "recording/PageFigures.h"
#include "recording/SampleTables.h"
#include "tools/cli/TerminalSession.h"

namespace kestiva::cli {

// Reads path into the session's page of monitor with the window's CSV read and every check of
// the reader. False after the reader has shown its message (and, for json, printed the
// failure object). version gets line 1's second field.
bool readCsvRecording(TerminalSession& terminal, const std::string& path, MonitorKind monitor,
                      std::string& version, bool json);

// What info prints of each item: its texts and the smallest and largest value the page
// plots (data: raw x scale with the scale's decimals; I/O: the bits).
struct ItemSummary {
    bool enabled = false;
    std::string name;
    std::string typeName;   // data only
    std::string scaleText;  // data only
    std::string unit;       // data only
    int decimals = 0;
    ValueRange extremes;
};

// Items 1 to 3 (data) or signals 1 to 16 (I/O) of the loaded recording, from the page figures.
std::vector<ItemSummary> itemSummaries(const PageRecording& page);

}  // namespace kestiva::cli
