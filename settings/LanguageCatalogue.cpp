#include "settings/LanguageCatalogue.h"

#include <iterator>
#include <optional>
#include <utility>

#include "settings/ProfileFile.h"

namespace kestiva {

namespace {

constexpr const char* kLanguageSection = "APPLICATION_LANGUAGE_DATA";

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t hit = text.find(from); hit != std::string::npos;
         hit = text.find(from, start)) {
        out.append(text, start, hit - start);
        out.append(to);
        start = hit + from.size();
    }
    out.append(text, start, std::string::npos);
    text = std::move(out);
}

}  // namespace

std::string unescapeCatalogueText(std::string text) {
    // The four-character pair goes first so that "\r\n" gives one line break, not two.
    replaceAll(text, "\\r\\n", "\r\n");
    replaceAll(text, "\\n", "\r\n");
    replaceAll(text, "\\r", "\r\n");
    replaceAll(text, "\\t", "\t");
    return text;
}

LanguageCatalogue::LanguageCatalogue(std::string programFolder)
    : path_(std::move(programFolder) + "System/LanguageData.ini") {}

void LanguageCatalogue::LoadLanguageCatalogue() {
    std::vector<LanguageTableEntry> table;
    table.reserve(std::size(kCatalogueKeys) + 1);
    for (const CatalogueKey& key : kCatalogueKeys) {
        LanguageTableEntry entry;
        entry.key = key.key;
        entry.kind = LanguageTableEntry::Kind::CatalogueSlot;
        entry.slot = key.id;
        table.push_back(std::move(entry));
    }
    table.emplace_back();  // the empty key ends the table
    texts_.clear();
    ApplyLanguageTable(table);
    if (!languageReadFailed)
        loadOptionalTexts();
}

void LanguageCatalogue::loadOptionalTexts() {
    const std::optional<ProfileFile> file = ProfileFile::read(path_);
    const std::size_t capacity = file ? file->bytes().size() + 1 : 1;
    texts_.resize(text::kSlotCount);
    for (const OptionalCatalogueKey& key : kOptionalCatalogueKeys) {
        std::string value;
        const bool given = file && file->getString(kLanguageSection, key.key, capacity, value) != 0;
        texts_[std::size_t(key.id)] = given ? unescapeCatalogueText(std::move(value))
                                            : unescapeCatalogueText(key.fallback);
    }
}

void LanguageCatalogue::ApplyLanguageTable(std::span<const LanguageTableEntry> table) {
    if (languageReadFailed)
        return;
    const auto fail = [this] {
        languageReadFailed = true;
        languageLoaded = false;
    };
    const std::optional<ProfileFile> file = ProfileFile::read(path_);
    if (!file) {
        fail();
        return;
    }
    // No value can be longer than the file, so with this capacity every value is read whole.
    const std::size_t capacity = file->bytes().size() + 1;
    std::string value;
    for (const LanguageTableEntry& entry : table) {
        if (entry.key.empty())
            break;
        if (file->getString(kLanguageSection, entry.key, capacity, value) == 0) {
            fail();
            return;
        }
        value = unescapeCatalogueText(std::move(value));
        switch (entry.kind) {
            case LanguageTableEntry::Kind::WindowText:
                if (entry.window)
                    entry.window->setWindowText(value);
                break;
            case LanguageTableEntry::Kind::CatalogueSlot:
                // Only the catalogue's own slots exist; a stray id must not grow it unbounded.
                if (entry.slot >= 0 && entry.slot < text::kSlotCount) {
                    const auto slot = static_cast<std::size_t>(entry.slot);
                    if (texts_.size() <= slot)
                        texts_.resize(slot + 1);
                    texts_[slot] = value;
                }
                break;
        }
    }
}

std::string LanguageCatalogue::GetText(TextId id) const {
    if (id >= 0 && static_cast<std::size_t>(id) < texts_.size() &&
        !texts_[static_cast<std::size_t>(id)].empty())
        return texts_[static_cast<std::size_t>(id)];
    // Also before the file was read, or when it could not be: the dialogs that show an optional
    // text (the settings with their check) still come up then.
    for (const OptionalCatalogueKey& key : kOptionalCatalogueKeys) {
        if (key.id == id)
            return unescapeCatalogueText(key.fallback);
    }
    return {};
}

std::string LanguageCatalogue::composeError(TextId contents, TextId countermeasure) const {
    return GetText(contents) + "\n" + GetText(text::MSG_ALARM_COUNTERMEASURE_TITLE) + "\n  " +
           GetText(countermeasure);
}

}  // namespace kestiva
