// Start-up's order with a view that writes down what it is asked, over a real session and
// program folder; and the restore offer's note in the journal folder.

#include "window/StartUpModel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "support/RecordingWindow.h"
#include "window/WindowTestFolder.h"

namespace kestiva {
namespace {

class ScriptedStartUp final : public StartUpView {
public:
    ScriptedStartUp(Session& session, bool agree, bool confirm)
        : session_(session), agree_(agree), confirm_(confirm) {}
    bool userAgrees() override {
        // The settings are not read before the terms are accepted.
        calls.push_back(session_.settings().portCount == 0 ? "terms" : "terms after settings");
        return agree_;
    }
    bool userConfirmsCommunicationSettings() override {
        calls.push_back(session_.settings().portCount > 0 ? "settings" : "settings unread");
        session_.settings().responseDelay = 77;  // a change the run writes back at its end
        return confirm_;
    }
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override {
        calls.push_back("message " + std::to_string(int(icon)) + ": " + caption + ": " +
                        text.substr(0, text.find('\n')));
    }
    void runMainWindow() override { calls.push_back("main window"); }
    std::vector<std::string> calls;

private:
    Session& session_;
    bool agree_, confirm_;
};

TEST(StartUpModel, RunsInItsOrderAndEndsAtTheFirstRefusalOrFailure) {
    using Calls = std::vector<std::string>;
    const std::string warning = "message " + std::to_string(int(MessageIcon::Warning)) + ": ";
    const std::string error = "message " + std::to_string(int(MessageIcon::Error)) + ": ";
    const struct {
        const char* what;
        bool agree, confirm;
        const char* removed;  // a System file taken away first
        const char* folderProblem;
        Calls calls;
        bool settingsWritten;
    } cases[] = {
        {"declined terms", false, true, nullptr, "", {"terms"}, false},
        {"quit settings", true, false, nullptr, "", {"terms", "settings"}, false},
        {"all well", true, true, nullptr, "", {"terms", "settings", "main window"}, true},
        {"a System folder problem", true, true, nullptr, "no room",
         {"terms",
          warning + "Kestiva Data Monitor: " +
              "The per-user System folder could not be made.",
          "settings", "main window"},
         true},
        {"no language file", true, true, "LanguageData.ini", "",
         {"terms", "settings", warning + "Kestiva Data Monitor: LanguageData.ini Reading Failed"},
         false},
        {"no sampling configuration", true, true, "DataSamplingConfig.ini", "",
         {"terms", "settings",
          error + "Kestiva Data Monitor: DataSamplingConfig.ini Reading Failed"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::WindowTestFolder folder;
        if (c.removed)
            std::filesystem::remove(folder.system(c.removed));
        testing::RecordingWindow window;
        Session session(folder.path(), window);
        ScriptedStartUp view(session, c.agree, c.confirm);
        EXPECT_EQ(runStartUp(session, view, c.folderProblem), 0);
        ASSERT_EQ(view.calls.size(), c.calls.size()) << ::testing::PrintToString(view.calls);
        for (std::size_t k = 0; k < c.calls.size(); ++k)
            EXPECT_EQ(view.calls[k].substr(0, c.calls[k].size()), c.calls[k]) << k;
        const std::string written = folder.text("System/CommunicationSetting.ini");
        EXPECT_EQ(written.find("77") != std::string::npos, c.settingsWritten) << written;
    }
}

JournalEntry entry(const std::string& folder, const char* name, bool ended, bool recording) {
    JournalEntry e;
    e.path = folder + name;
    e.ended = ended;
    e.recording = recording;
    return e;
}

TEST(RestoreOffer, EachJournalCutShortIsOfferedOnceAndTheNoteKeepsOnlyKeptNames) {
    test::WindowTestFolder folder;
    const std::string journals = folder.path();
    const std::string note = journals + "offered.txt";
    // Newest first: a running recording's, a finished one, two cut short.
    std::vector<JournalEntry> kept = {entry(journals, "4.kjr", false, true),
                                      entry(journals, "3.kjr", true, false),
                                      entry(journals, "2.kjr", false, false),
                                      entry(journals, "1.kjr", false, false)};
    std::ofstream(note, std::ios::binary) << "  gone.kjr \r\n\r\n";
    std::optional<JournalEntry> offered = journalToOffer(journals, kept);
    ASSERT_TRUE(offered.has_value());
    EXPECT_EQ(offered->path, journals + "2.kjr");
    ASSERT_TRUE(noteJournalOffered(journals, kept, *offered));
    EXPECT_EQ(folder.text("offered.txt"), "2.kjr\n") << "a name no longer kept is dropped";

    offered = journalToOffer(journals, kept);
    ASSERT_TRUE(offered.has_value());
    EXPECT_EQ(offered->path, journals + "1.kjr");
    ASSERT_TRUE(noteJournalOffered(journals, kept, *offered));
    EXPECT_EQ(folder.text("offered.txt"), "2.kjr\n1.kjr\n");
    EXPECT_FALSE(journalToOffer(journals, kept).has_value());
    // Nothing but the note is left in the folder.
    int files = 0;
    for (const auto& file : std::filesystem::directory_iterator(journals))
        files += file.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);

    // A folder that cannot be written: false, and asked again next time.
    EXPECT_FALSE(noteJournalOffered(journals + "missing/", kept, kept[3]));
    EXPECT_TRUE(journalToOffer(journals + "missing/", kept).has_value());
}

TEST(RestoreOffer, TheQuestionNamesThePageTheStartAndTheLength) {
    const struct {
        double seconds;
        const char* shown;
    } durations[] = {{0, "0:00"},       {0.9, "0:01"},     {59.4, "0:59"},
                     {59.6, "1:00"},    {3599, "59:59"},   {3600, "1:00:00"},
                     {36061, "10:01:01"}, {-2, "0:00"},    {std::numeric_limits<double>::infinity(), "0:00"}};
    for (const auto& d : durations)
        EXPECT_EQ(durationText(d.seconds), d.shown) << d.seconds;

    LanguageCatalogue texts("");
    texts.LoadLanguageCatalogue();
    JournalEntry journal;
    journal.monitor = kIoMonitor;
    journal.startTime = 1'700'000'000;
    journal.durationSeconds = 61;
    const std::string question = offerText(texts, journal);
    EXPECT_EQ(question, "A recording of I/O Monitor from " + startTimeText(journal.startTime) +
                            " (1:01) was not saved. Restore it?");
    EXPECT_EQ(startTimeText(journal.startTime).size(), 19u);
}

}  // namespace
}  // namespace kestiva
