#pragma once
// The text catalogue and caption tables from LanguageData.ini.

#include <span>
#include <string>
#include <vector>

#include "settings/TextIds.h"

namespace kestiva {

// Something whose visible text a caption table sets: a window title, a label, a button.
// The Qt side implements it for its widgets.
class WindowTextTarget {
public:
    virtual ~WindowTextTarget() = default;
    virtual void setWindowText(const std::string& text) = 0;
};

struct LanguageTableEntry {
    enum class Kind { WindowText, CatalogueSlot };
    std::string key;  // empty: end of the table
    Kind kind = Kind::WindowText;
    WindowTextTarget* window = nullptr;  // for WindowText
    TextId slot = 0;                     // for CatalogueSlot
};

class LanguageCatalogue {
public:
    // programFolder ends with '/'; the file is <programFolder>System/LanguageData.ini.
    explicit LanguageCatalogue(std::string programFolder);

    // Empties the catalogue and fills the 87 slots from the file.
    void LoadLanguageCatalogue();

    // Reads each entry's key and puts its text where the entry says, until the empty key or
    // the first read failure. Does nothing once a read has failed.
    void ApplyLanguageTable(std::span<const LanguageTableEntry> table);

    // A copy of the text in slot id; "" for an id beyond the catalogue. An optional key's text
    // is its built-in one whenever the file has not given it.
    std::string GetText(TextId id) const;

    // "%s\n%s\n  %s" of contents, "MSG_ALARM_COUNTERMEASURE_TITLE" and countermeasure: the
    // body of every error box.
    std::string composeError(TextId contents, TextId countermeasure) const;

    const std::string& path() const { return path_; }
    std::size_t size() const { return texts_.size(); }

    // Start-up sets it before the load; a failed read clears it.
    bool languageLoaded = false;
    // Set on the first read failure, never cleared.
    bool languageReadFailed = false;

private:
    // The optional keys' texts, or their built-in ones where the file leaves them out.
    void loadOptionalTexts();

    std::string path_;
    std::vector<std::string> texts_;
};

// The four escape passes, in order: "\r\n", "\n", "\r" become CR LF; "\t" becomes a tab.
std::string unescapeCatalogueText(std::string text);

}  // namespace kestiva
