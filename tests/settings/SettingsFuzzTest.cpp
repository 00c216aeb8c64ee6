// Damaged and hostile profile files: thousands of seeded mutations of real files through the
// profile reader, the catalogue load and the sampling configuration load. Each run stops at
// its iteration count or its time budget, whichever comes first; what is checked is that
// nothing crashes or reads out of bounds (run under AddressSanitizer too) and that the
// results keep their basic promises.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "settings/ConfigBuilder.h"
#include "settings/LanguageCatalogue.h"
#include "settings/Mutator.h"
#include "settings/NumberText.h"
#include "settings/ProfileFile.h"
#include "settings/ProgramFolder.h"
#include "settings/SamplingConfig.h"
#include "settings/TempFolder.h"

namespace kestiva {
namespace {

using test::Mutator;
using test::readFile;
using test::TempFolder;
using test::writeFile;

constexpr int kIterations = 20000;
constexpr auto kBudget = std::chrono::milliseconds(1500);

class Budget {
public:
    bool more(int done) const {
        return done < kIterations && std::chrono::steady_clock::now() - start_ < kBudget;
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::string shipped(const char* name) {
    return readFile(programFolder() + "System/" + name);
}

// UTF-16 units of a value as the reader counts them: four-byte characters two, every other
// character or stray byte one.
std::size_t utf16Units(const std::string& text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80                   ? 1
                          : (c >= 0xC2 && c <= 0xDF) ? 2
                          : (c >= 0xE0 && c <= 0xEF) ? 3
                          : (c >= 0xF0 && c <= 0xF4) ? 4
                                                     : 0;
        bool ok = len > 0 && i + len <= text.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (ok && len == 3) {
            const unsigned cp =
                ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6);
            ok = cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF);
        }
        if (ok && len == 4) {
            const unsigned cp =
                ((c & 0x07u) << 18) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 12);
            ok = cp >= 0x10000 && cp <= 0x10FFFF;
        }
        if (!ok)
            len = 1;
        units += (ok && len == 4) ? 2 : 1;
        i += len;
    }
    return units;
}

struct Query {
    const char* section;
    const char* key;
};

const Query kQueries[] = {
    {"APPLICATION_LANGUAGE_DATA", "APP_TITLE"},
    {"APPLICATION_LANGUAGE_DATA", "DLG_QUALIFICATION_CONTENTS"},
    {"APPLICATION_LANGUAGE_DATA", "MSG_ALARM_COUNTERMEASURE_TITLE"},
    {"COMMUNICATION_SETTING", "COM_PORT"},
    {"COMMUNICATION_SETTING", "COM_BITRATE"},
    {"DATA_SAMPLING_SETTING", "SAMPLING"},
    {"COLOR_SETTING", "IO_COLOR_TABLE_1"},
    {"CTL1_IOSAMPLING_SETTING", "DATA16"},
    {"K", "K"},
    {"", "K"},
};

TEST(SettingsFuzz, ProfileReaderKeepsItsPromises) {
    const uint32_t seed = test::fuzzSeed(0x5e771265u);
    Mutator mutator(seed);
    const std::vector<std::string> seeds = {
        shipped("LanguageData.ini"), shipped("CommunicationSetting.ini"),
        shipped("DataSamplingConfig.ini"), "[K]\r\nK=\"v\"\r\n", "[K]\nK = a;b \n"};
    const std::size_t capacities[] = {0, 1, 2, 3, 5, 17, 260};
    Budget budget;
    int done = 0;
    for (; budget.more(done); ++done) {
        const std::string bytes = mutator.mutate(seeds[mutator.pick(seeds.size())]);
        SCOPED_TRACE("seed " + std::to_string(seed) + " iteration " + std::to_string(done));
        ProfileFile file(bytes);
        std::vector<std::string> before;
        for (const Query& q : kQueries) {
            std::string whole, cut;
            const std::size_t wholeCount = file.getString(q.section, q.key, whole);
            before.push_back(whole);
            const std::size_t capacity = capacities[mutator.pick(std::size(capacities))];
            const std::size_t cutCount = file.getString(q.section, q.key, capacity, cut);
            ASSERT_EQ(wholeCount == 0, whole.empty());
            ASSERT_EQ(cutCount == 0, cut.empty());
            ASSERT_EQ(utf16Units(whole), wholeCount);
            ASSERT_EQ(utf16Units(cut), cutCount);
            ASSERT_LT(cutCount, capacity == 0 ? 1 : capacity);
            ASSERT_EQ(whole.compare(0, cut.size(), cut), 0);  // the cut is a prefix
            ASSERT_EQ(whole.find_first_of("\r\n"), std::string::npos);
        }
        // A rewrite changes the chosen value and nothing else.
        const std::size_t target = mutator.pick(std::size(kQueries));
        if (!before[target].empty() &&
            file.replaceValue(kQueries[target].section, kQueries[target].key, "V123")) {
            for (std::size_t i = 0; i < std::size(kQueries); ++i) {
                std::string after;
                file.getString(kQueries[i].section, kQueries[i].key, after);
                ASSERT_EQ(after, i == target ? std::string("V123") : before[i]) << i;
            }
        }
    }
    RecordProperty("iterations", done);
}

TEST(SettingsFuzz, CatalogueLoadStopsCleanly) {
    const uint32_t seed = test::fuzzSeed(0xca7a1060u);
    Mutator mutator(seed);
    const std::string original = shipped("LanguageData.ini");
    TempFolder dir;
    const std::string path = dir.system("LanguageData.ini");
    Budget budget;
    int done = 0, loaded = 0;
    for (; budget.more(done); ++done) {
        writeFile(path, mutator.mutate(original));
        SCOPED_TRACE("seed " + std::to_string(seed) + " iteration " + std::to_string(done));
        LanguageCatalogue catalogue(dir.path());
        catalogue.languageLoaded = true;
        catalogue.LoadLanguageCatalogue();
        ASSERT_EQ(catalogue.languageLoaded, !catalogue.languageReadFailed);
        ASSERT_LE(catalogue.size(), static_cast<std::size_t>(text::kSlotCount));
        if (catalogue.languageLoaded) {
            ++loaded;
            ASSERT_EQ(catalogue.size(), static_cast<std::size_t>(text::kSlotCount));
        }
        // The texts that were read form an unbroken run from the first key on.
        bool gap = false;
        for (const CatalogueKey& key : kCatalogueKeys) {
            const std::string t = catalogue.GetText(key.id);
            if (t.empty()) {
                gap = true;
                continue;
            }
            ASSERT_FALSE(gap) << key.key;
            for (const char* escape : {"\\n", "\\r", "\\t"}) {
                ASSERT_EQ(t.find(escape), std::string::npos) << key.key;
            }
        }
        ASSERT_EQ(gap, !catalogue.languageLoaded);
    }
    RecordProperty("iterations", done);
    RecordProperty("loaded", loaded);
}

// The promises a loaded and validated configuration makes to the rest of the program.
void checkLoaded(const SamplingConfig& config) {
    for (int kind = 0; kind < 2; ++kind) {
        const MonitorConfig& m = config.monitors[static_cast<std::size_t>(kind)];
        ASSERT_EQ(m.lists.numCycles, 5);
        ASSERT_EQ(m.lists.numTimes, 5);
        bool anyTable = false;
        for (const ColorTable& t : m.colorTables) {
            if (t.name.empty())
                continue;
            anyTable = true;
            ASSERT_GE(t.traceColorCount, kind == kDataMonitor ? 3 : 16);
            ASSERT_LE(t.traceColorCount, 16);
        }
        // A controller may pass the parse with an empty name; validation removes it.
        for (const ControllerRecord& r : m.controllers) {
            if (r.name.empty())
                continue;
            ASSERT_TRUE(r.rangeAbsent1 == 0 || r.rangeAbsent2 == 0);
            for (const DataItem& item : r.items) {
                ASSERT_EQ(item.enabled, item.name.empty() ? 0 : 1);
                ASSERT_EQ(item.name.find(','), std::string::npos);
            }
        }
        ASSERT_TRUE(anyTable);
    }
}

bool inRange(unsigned address, unsigned first, unsigned bytes) {
    return bytes >= 2 && address >= first && address <= first + bytes / 2 - 1;
}

void checkValidated(const MonitorConfig& m, bool io, int result) {
    bool anyController = false;
    for (const ControllerRecord& r : m.controllers) {
        if (r.name.empty())
            continue;
        anyController = true;
        ASSERT_LE(r.rangeLength1, 250);
        ASSERT_LE(r.rangeLength2, 250);
        bool anyEnabled = false;
        for (const DataItem& item : r.items) {
            if (item.enabled == 0)
                continue;
            anyEnabled = true;
            if (io) {
                ASSERT_LT(item.bit, 16);
                ASSERT_TRUE((r.rangeAbsent1 == 0 &&
                             inRange(item.address, r.rangeAddress1, r.rangeLength1)) ||
                            (r.rangeAbsent2 == 0 &&
                             inRange(item.address, r.rangeAddress2, r.rangeLength2)));
            } else {
                ASSERT_TRUE(isDataTypeCode(item.typeCode));
                ASSERT_GT(item.scale, 0.0);
                const unsigned lastRegister =
                    item.address + static_cast<unsigned>(dataTypeRegisterCount(item.typeCode)) - 1;
                ASSERT_TRUE(inRange(item.address, r.rangeAddress1, r.rangeLength1));
                ASSERT_TRUE(inRange(lastRegister, r.rangeAddress1, r.rangeLength1));
            }
        }
        ASSERT_TRUE(anyEnabled);
    }
    ASSERT_EQ(anyController, result == 0);
}

TEST(SettingsFuzz, SamplingConfigLoadAndValidation) {
    const uint32_t seed = test::fuzzSeed(0xd5c0f16u);
    Mutator mutator(seed);
    const std::vector<std::string> seeds = {shipped("DataSamplingConfig.ini"),
                                            test::baseConfig().text()};
    TempFolder dir;
    const std::string path = samplingConfigPath(dir.path());
    Budget budget;
    int done = 0, loaded = 0, validated = 0;
    for (; budget.more(done); ++done) {
        writeFile(path, mutator.mutate(seeds[mutator.pick(seeds.size())]));
        SCOPED_TRACE("seed " + std::to_string(seed) + " iteration " + std::to_string(done));
        SamplingConfig config;
        if (LoadSamplingConfig(path, config) != 0)
            continue;
        ++loaded;
        ASSERT_NO_FATAL_FAILURE(checkLoaded(config));
        const int data = ValidateDataControllers(config.data());
        const int io = ValidateIoControllers(config.io());
        ASSERT_NO_FATAL_FAILURE(checkValidated(config.data(), false, data));
        ASSERT_NO_FATAL_FAILURE(checkValidated(config.io(), true, io));
        if (data == 0 && io == 0)
            ++validated;
    }
    RecordProperty("iterations", done);
    RecordProperty("loaded", loaded);
    RecordProperty("validated", validated);
}

}  // namespace
}  // namespace kestiva
