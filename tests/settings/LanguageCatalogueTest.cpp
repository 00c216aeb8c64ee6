#include "settings/LanguageCatalogue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <ostream>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "settings/ProgramFolder.h"
#include "settings/TempFolder.h"

namespace kestiva {
namespace {

using test::TempFolder;
using test::writeFile;

class RecordingWindow : public WindowTextTarget {
public:
    void setWindowText(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// A language file with every catalogue key, the text of each being "text <id>", except for
// the keys in overrides (an override of nullptr leaves the key out).
std::string languageFile(const std::map<std::string, const char*>& overrides = {}) {
    std::string file = "[APPLICATION_LANGUAGE_DATA]\r\n";
    for (const CatalogueKey& key : kCatalogueKeys) {
        const auto it = overrides.find(key.key);
        if (it == overrides.end()) {
            file += std::string(key.key) + "=text " + std::to_string(key.id) + "\r\n";
        } else if (it->second != nullptr) {
            file += std::string(key.key) + "=" + it->second + "\r\n";
        }
    }
    return file;
}

LanguageCatalogue loadedCatalogue(const TempFolder& dir) {
    LanguageCatalogue catalogue(dir.path());
    catalogue.languageLoaded = true;  // start-up sets it before the load
    catalogue.LoadLanguageCatalogue();
    return catalogue;
}

TEST(TextIds, KeysAreUniqueAndSkipTheGaps) {
    std::set<std::string> keys;
    std::set<TextId> ids;
    for (const CatalogueKey& key : kCatalogueKeys) {
        keys.insert(key.key);
        ids.insert(key.id);
    }
    EXPECT_EQ(keys.size(), 87u);
    EXPECT_EQ(ids.size(), 87u);
    for (TextId gap : {20, 25, 26, 27})
        EXPECT_EQ(ids.count(gap), 0u) << gap;
    EXPECT_EQ(*ids.begin(), 0);
    EXPECT_EQ(*ids.rbegin(), text::kRequiredSlotCount - 1);
}

TEST(LanguageCatalogue, FullLoadFillsEverySlot) {
    TempFolder dir;
    writeFile(dir.system("LanguageData.ini"), languageFile());
    const LanguageCatalogue catalogue = loadedCatalogue(dir);
    EXPECT_TRUE(catalogue.languageLoaded);
    EXPECT_FALSE(catalogue.languageReadFailed);
    EXPECT_EQ(catalogue.size(), std::size_t(text::kSlotCount));
    for (const CatalogueKey& key : kCatalogueKeys) {
        EXPECT_EQ(catalogue.GetText(key.id), "text " + std::to_string(key.id)) << key.key;
    }
    for (TextId empty : {20, 25, 26, 27, text::kSlotCount, 1000, -1}) {
        EXPECT_EQ(catalogue.GetText(empty), "") << empty;
    }
}

TEST(LanguageCatalogue, AnOptionalKeyLeftOutOrEmptyGivesItsBuiltInText) {
    const std::string builtIn = unescapeCatalogueText(kOptionalCatalogueKeys[0].fallback);
    const struct {
        const char* line;  // added to the file
        std::string expected;
    } cases[] = {
        {"", builtIn},
        {"MSG_BITMAP_SAVE_ERR=\n", builtIn},
        {"MSG_BITMAP_SAVE_ERR=Not saved.\\nTry again.\n", "Not saved.\r\nTry again."},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        writeFile(dir.system("LanguageData.ini"), languageFile() + c.line);
        const LanguageCatalogue catalogue = loadedCatalogue(dir);
        EXPECT_TRUE(catalogue.languageLoaded) << c.line;
        EXPECT_EQ(catalogue.GetText(text::MSG_BITMAP_SAVE_ERR), c.expected) << c.line;
    }
}

TEST(LanguageCatalogue, MissingFileLeavesTheCatalogueEmpty) {
    TempFolder dir;
    const LanguageCatalogue catalogue = loadedCatalogue(dir);
    EXPECT_FALSE(catalogue.languageLoaded);
    EXPECT_TRUE(catalogue.languageReadFailed);
    EXPECT_EQ(catalogue.size(), 0u);
    EXPECT_EQ(catalogue.GetText(text::APP_TITLE), "");
}

// A key that is missing or empty stops the load there: earlier slots hold their texts, the
// rest stay empty.
struct FailureCase {
    const char* name;
    const char* key;
    const char* value;  // nullptr: the key is left out
    TextId firstEmpty;
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class LanguageCatalogueFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(LanguageCatalogueFailure, StopsAtTheFailingKey) {
    const FailureCase& c = GetParam();
    TempFolder dir;
    writeFile(dir.system("LanguageData.ini"), languageFile({{c.key, c.value}}));
    const LanguageCatalogue catalogue = loadedCatalogue(dir);
    EXPECT_FALSE(catalogue.languageLoaded);
    EXPECT_TRUE(catalogue.languageReadFailed);
    for (const CatalogueKey& key : kCatalogueKeys) {
        const std::string expected =
            key.id < c.firstEmpty ? "text " + std::to_string(key.id) : std::string();
        EXPECT_EQ(catalogue.GetText(key.id), expected) << key.key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageCatalogueFailure,
    testing::Values(FailureCase{"MenuFileMissing", "MNU_TITLE_FILE", nullptr, 42},
                    FailureCase{"AppTitleEmpty", "APP_TITLE", "", 71},
                    FailureCase{"AppTitleBlank", "APP_TITLE", " \t ", 71},
                    FailureCase{"FirstKeyMissing", "MSG_ALARM_COUNTERMEASURE_TITLE", nullptr, 0},
                    FailureCase{"LastKeyMissing", "DLG_QUALIFICATION_BUTTON_NOTAGREE", nullptr,
                                90}),
    [](const testing::TestParamInfo<FailureCase>& p) { return std::string(p.param.name); });

TEST(LanguageCatalogue, FailureLatchSilencesLaterTables) {
    TempFolder dir;
    const LanguageCatalogue failed = loadedCatalogue(dir);
    ASSERT_TRUE(failed.languageReadFailed);

    // The file appears later: the latch still holds, so dialogs keep their template texts.
    writeFile(dir.system("LanguageData.ini"), languageFile());
    LanguageCatalogue catalogue(dir.path());
    catalogue.languageReadFailed = true;
    RecordingWindow window;
    const LanguageTableEntry table[] = {
        {"APP_TITLE", LanguageTableEntry::Kind::WindowText, &window, 0}, {}};
    catalogue.ApplyLanguageTable(table);
    EXPECT_TRUE(window.texts.empty());
}

TEST(LanguageCatalogue, CaptionTableSetsWindowsInOrderUntilTheEnd) {
    TempFolder dir;
    writeFile(dir.system("LanguageData.ini"),
              languageFile({{"DLG_QUALIFICATION_CONTENTS", "Line 1\\nLine 2"}}));
    LanguageCatalogue catalogue(dir.path());
    catalogue.languageLoaded = true;
    RecordingWindow title, contents, afterEnd;
    const LanguageTableEntry table[] = {
        {"DLG_QUALIFICATION_TITLE", LanguageTableEntry::Kind::WindowText, &title, 0},
        {"DLG_QUALIFICATION_CONTENTS", LanguageTableEntry::Kind::WindowText, &contents, 0},
        {},
        {"APP_TITLE", LanguageTableEntry::Kind::WindowText, &afterEnd, 0}};
    catalogue.ApplyLanguageTable(table);
    EXPECT_EQ(title.texts, std::vector<std::string>{"text 87"});
    EXPECT_EQ(contents.texts, std::vector<std::string>{"Line 1\r\nLine 2"});
    EXPECT_TRUE(afterEnd.texts.empty());
    EXPECT_EQ(catalogue.size(), 0u);  // window entries never touch the catalogue
    EXPECT_TRUE(catalogue.languageLoaded);
}

TEST(LanguageCatalogue, CaptionTableStopsAtAMissingKey) {
    TempFolder dir;
    writeFile(dir.system("LanguageData.ini"), languageFile({{"DLG_COMSETTING_TITLE", nullptr}}));
    LanguageCatalogue catalogue(dir.path());
    catalogue.languageLoaded = true;
    RecordingWindow before, missing, after;
    const LanguageTableEntry table[] = {
        {"DLG_COMSETTING_BUTTON_QUIT", LanguageTableEntry::Kind::WindowText, &before, 0},
        {"DLG_COMSETTING_TITLE", LanguageTableEntry::Kind::WindowText, &missing, 0},
        {"DLG_COMSETTING_BUTTON_OK", LanguageTableEntry::Kind::WindowText, &after, 0},
        {}};
    catalogue.ApplyLanguageTable(table);
    EXPECT_EQ(before.texts.size(), 1u);
    EXPECT_TRUE(missing.texts.empty());
    EXPECT_TRUE(after.texts.empty());
    EXPECT_FALSE(catalogue.languageLoaded);
    EXPECT_TRUE(catalogue.languageReadFailed);
}

TEST(LanguageCatalogue, StraySlotIdsAreIgnored) {
    TempFolder dir;
    writeFile(dir.system("LanguageData.ini"), languageFile());
    LanguageCatalogue catalogue(dir.path());
    const LanguageTableEntry table[] = {
        {"APP_TITLE", LanguageTableEntry::Kind::CatalogueSlot, nullptr, -5},
        {"APP_TITLE", LanguageTableEntry::Kind::CatalogueSlot, nullptr, 1 << 30},
        {"APP_TITLE", LanguageTableEntry::Kind::WindowText, nullptr, 0},
        {"APP_TITLE", LanguageTableEntry::Kind::CatalogueSlot, nullptr, 3},
        {}};
    catalogue.ApplyLanguageTable(table);
    EXPECT_EQ(catalogue.size(), 4u);
    EXPECT_EQ(catalogue.GetText(3), "text 71");
    EXPECT_EQ(catalogue.GetText(0), "");
}

struct EscapeCase {
    std::string in;
    std::string out;
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const EscapeCase& c, std::ostream* os) {
    *os << '"' << c.in << '"';
}

class CatalogueEscapes : public testing::TestWithParam<EscapeCase> {};

TEST_P(CatalogueEscapes, BecomeLineBreaksAndTabs) {
    EXPECT_EQ(unescapeCatalogueText(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CatalogueEscapes,
    testing::Values(EscapeCase{"one\\r\\ntwo", "one\r\ntwo"}, EscapeCase{"one\\ntwo", "one\r\ntwo"},
                    EscapeCase{"one\\rtwo", "one\r\ntwo"}, EscapeCase{"one\\ttwo", "one\ttwo"},
                    EscapeCase{"C:\\temp", "C:\temp"}, EscapeCase{"\\n\\r", "\r\n\r\n"},
                    EscapeCase{"\\r\\n\\n", "\r\n\r\n"}, EscapeCase{"a\\b\\", "a\\b\\"},
                    EscapeCase{"\\\\n", "\\\r\n"}, EscapeCase{"", ""}));

TEST(LanguageCatalogue, EscapesAreResolvedOnLoad) {
    TempFolder dir;
    writeFile(dir.system("LanguageData.ini"),
              languageFile({{"MSG_CSV_NOVALIDDATA", "one\\r\\ntwo"}, {"APP_TITLE", "C:\\temp"}}));
    const LanguageCatalogue catalogue = loadedCatalogue(dir);
    EXPECT_EQ(catalogue.GetText(text::MSG_CSV_NOVALIDDATA), "one\r\ntwo");
    EXPECT_EQ(catalogue.GetText(text::APP_TITLE), "C:\temp");
}

TEST(LanguageCatalogue, ComposeErrorLayout) {
    TempFolder dir;
    writeFile(dir.system("LanguageData.ini"), languageFile());
    const LanguageCatalogue catalogue = loadedCatalogue(dir);
    EXPECT_EQ(catalogue.composeError(text::MSG_COM_COMMUNICATION_ERR,
                                     text::MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS),
              "text 23\ntext 0\n  text 21");
}

// The language file that ships with the program.
TEST(ShippedLanguageFile, LoadsEveryTextAndFitsItsUse) {
    LanguageCatalogue catalogue(programFolder());
    catalogue.languageLoaded = true;
    catalogue.LoadLanguageCatalogue();
    ASSERT_TRUE(catalogue.languageLoaded) << catalogue.path();
    ASSERT_EQ(catalogue.size(), std::size_t(text::kSlotCount));
    // The shipped file carries the optional keys too, rather than leaning on the built-in texts.
    std::ifstream file(catalogue.path(), std::ios::binary);
    const std::string shipped{std::istreambuf_iterator<char>(file), {}};
    for (const OptionalCatalogueKey& key : kOptionalCatalogueKeys)
        EXPECT_NE(shipped.find(std::string("\n") + key.key + "="), std::string::npos) << key.key;
    for (const CatalogueKey& key : kCatalogueKeys) {
        const std::string t = catalogue.GetText(key.id);
        EXPECT_FALSE(t.empty()) << key.key;
        // A backslash left over would be a mistyped escape.
        EXPECT_EQ(t.find('\\'), std::string::npos) << key.key;
        // '&' only as a mnemonic before a letter.
        for (std::size_t i = t.find('&'); i != std::string::npos; i = t.find('&', i + 1)) {
            EXPECT_TRUE(i + 1 < t.size() && std::isalpha(static_cast<unsigned char>(t[i + 1])))
                << key.key;
        }
    }
    EXPECT_EQ(catalogue.GetText(text::APP_TITLE), "Kestiva Data Monitor");
    // The time column title goes into a CSV file that has no quoting.
    const std::string timeTitle = catalogue.GetText(text::CSV_TIMEVALUE_TITLE);
    EXPECT_EQ(timeTitle.find_first_of(",\r\n"), std::string::npos);
    // The disclaimer is given its paragraphs by the line-break escapes.
    EXPECT_NE(catalogue.GetText(text::DLG_QUALIFICATION_CONTENTS).find("\r\n\r\n"),
              std::string::npos);
    // Single-line texts: menus, captions, state texts and the parts of composed messages.
    for (TextId id = text::MNU_TITLE_FILE; id <= text::DLG_COMSETTING_BUTTON_OK; ++id) {
        if (id == text::MSG_PROGRESS_STATE_CSV_SAVE_ERR_MSG)
            continue;  // a message box text
        EXPECT_EQ(catalogue.GetText(id).find_first_of("\r\n\t"), std::string::npos) << id;
    }
}

}  // namespace
}  // namespace kestiva
