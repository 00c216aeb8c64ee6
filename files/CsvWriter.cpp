#include <algorithm>
#include <charconv>
#include <cstring>

#include "files/CsvFile.h"
#include "files/ReplacingFile.h"
#include "settings/FileCalls.h"
#include "settings/Utf8Path.h"

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
        if (!item.enabled)
            continue;
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
                  const std::array<std::string_view, kItemsPerController>& fields, int itemCount) {
    line.append(first);
    for (int k = 0; k < itemCount; ++k) {
        line.push_back(',');
        line.append(fields[k]);
    }
    line.append("\r\n");
}

// Copies a text and returns the end of the copy. The texts are mostly a few bytes long: a few
// fixed-size moves are much cheaper for them than a library call.
inline __attribute__((always_inline)) char* copyText(char* to, std::string_view text) {
    const std::size_t n = text.size();
    const char* from = text.data();
    if (n >= 16) {
        std::memcpy(to, from, n);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
    return to + n;
}

}  // namespace

bool csvTargetWritable(const std::string& path) {
    ReplacingFile probe;
    if (!probe.open(path))
        return false;
    std::error_code ec;
    if (std::filesystem::exists(utf8Path(path), ec))
        return true;  // the probe has checked the file that is there
    // The temporary name is cut short; the final one must be creatable too.
    const int fd = createNewFile(path);
    if (fd < 0)
        return false;
    closeFile(fd);
    removeFile(path);
    return true;
}

void showCsvFileOpenMessage(MessageHost& messages, const LanguageCatalogue& texts) {
    messages.showMessage(texts.GetText(text::MSG_FILE_OPEN_FAILED_TITLE),
                         texts.GetText(text::MSG_FILE_OPEN_FAILED_CONTENTS) + "\n" +
                             texts.GetText(text::MSG_FILE_OPEN_FAILED_COUNTERMEASURE),
                         MessageIcon::Error);
}

int writeCsv(const std::string& path, const PageRecording& page, SessionState& session,
             MessageHost& messages, ProgressHost& progressHost, const LanguageCatalogue& texts) {
    // A file of headers alone is one that the reader refuses: it is no saved recording.
    if (page.sampleCount == 0)
        return -1;
    ReplacingFile file;
    if (!file.open(path)) {
        showCsvFileOpenMessage(messages, texts);
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

    // Data lines are assembled straight in the file's buffer: a full recording has 2.5 million
    // fields.
    const uint32_t count = std::min(page.sampleCount, page.texts.rows());
    std::array<bool, kItemsPerController> written{};
    for (int k = 0; k < itemCount; ++k)
        written[k] = !items.names[k].empty();
    std::array<std::string_view, kTextColumns> cells{};
    const int32_t progress = session.progressCount.load();
    for (uint32_t row = 0; row < count; ++row) {
        std::size_t length = itemCount + 2;  // commas, CR LF
        cells[0] = page.texts.cell(row, 0);
        length += cells[0].size();
        for (int k = 0; k < itemCount; ++k) {
            cells[k + 1] = written[k] ? page.texts.cell(row, k + 1) : std::string_view();
            length += cells[k + 1].size();
        }
        char* out = file.space(length);
        char* p = copyText(out, cells[0]);
        for (int k = 1; k <= itemCount; ++k) {
            *p++ = ',';
            p = copyText(p, cells[k]);
        }
        *p++ = '\r';
        *p++ = '\n';
        file.advance(length);
        session.progressCount.store(progress + int32_t(row + 1), std::memory_order_relaxed);
        progressHost.pumpMessages();
    }
    return file.commit() ? 0 : -1;
}

}  // namespace kestiva
