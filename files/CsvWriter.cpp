#include <algorithm>
#include <charconv>

#include "files/CsvFile.h"
#include "files/ReplacingFile.h"

namespace kestiva {

namespace {

void appendNumber(std::string& line, int value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    line.append(digits, std::size_t(end - digits));
}

// The header texts of the items as the file carries them: empty for an item not enabled.
struct ItemTexts {
    std::array<std::string_view, kItemsPerController> names{};
    std::array<std::string_view, kItemsPerController> typeNames{};
    std::array<std::string_view, kItemsPerController> scaleTexts{};
    std::array<std::string_view, kItemsPerController> units{};
};

ItemTexts itemTexts(const PageRecording& page, int itemCount) {
    ItemTexts t;
    for (int k = 0; k < itemCount; ++k) {
        const DataItem& item = page.active.items[k];
        if (!item.enabled) continue;
        t.names[k] = item.name;
        if (page.kind == kDataMonitor) {
            t.typeNames[k] = item.typeName;
            t.scaleTexts[k] = item.scaleText;
            t.units[k] = item.unit;
        }
    }
    return t;
}

void appendFields(std::string& line, std::string_view first,
                  const std::array<std::string_view, kItemsPerController>& fields,
                  int itemCount) {
    line.append(first);
    for (int k = 0; k < itemCount; ++k) {
        line.push_back(',');
        line.append(fields[k]);
    }
    line.append("\r\n");
}

}  // namespace

void showCsvFileOpenMessage(WindowPort& window, const LanguageCatalogue& texts) {
    window.showMessage(texts.GetText(text::MSG_FILE_OPEN_FAILED_TITLE),
                       texts.GetText(text::MSG_FILE_OPEN_FAILED_CONTENTS) + "\n" +
                           texts.GetText(text::MSG_FILE_OPEN_FAILED_COUNTERMEASURE),
                       MessageIcon::Error);
}

int writeCsv(const std::string& path, const PageRecording& page, SessionState& session,
             WindowPort& window, const LanguageCatalogue& texts) {
    ReplacingFile file;
    if (!file.open(path)) {
        showCsvFileOpenMessage(window, texts);
        return -1;
    }
    const int itemCount = csvItemCount(page.kind);
    const ItemTexts items = itemTexts(page, itemCount);
    const std::array<std::string_view, kItemsPerController> none{};

    std::string line;
    line.reserve(1024);
    line.append(page.startDate).push_back(',');
    line.append(kCsvVersion).push_back(',');
    line.append(page.kind == kDataMonitor ? kCsvDataType : kCsvIoType).append("\r\n");
    appendNumber(line, page.cycle);
    line.push_back(',');
    appendNumber(line, page.time);
    line.append("\r\n");
    if (page.kind == kDataMonitor) {
        appendFields(line, "", items.typeNames, itemCount);
        appendFields(line, "1", items.scaleTexts, itemCount);
        appendFields(line, "ms", items.units, itemCount);
    } else {
        appendFields(line, "1", none, itemCount);
        appendFields(line, "ms", none, itemCount);
    }
    appendFields(line, texts.GetText(text::CSV_TIMEVALUE_TITLE), items.names, itemCount);
    file.append(line);

    const uint32_t count = std::min(page.sampleCount, page.texts.rows());
    for (uint32_t row = 0; row < count; ++row) {
        line.clear();
        line.append(page.texts.cell(row, 0));
        for (int k = 0; k < itemCount; ++k) {
            line.push_back(',');
            if (!items.names[k].empty()) line.append(page.texts.cell(row, k + 1));
        }
        line.append("\r\n");
        file.append(line);
        session.progressCount.fetch_add(1);
        window.pumpMessages();
    }
    return file.commit() ? 0 : -1;
}

}  // namespace kestiva
