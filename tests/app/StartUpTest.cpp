// The program's start-up as a user meets it: the terms, the communication settings and their
// check against kestiva-sim, the two start-up failures, and the settings written at the end.

#include "app/StartUp.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AboutDialog.h"
#include "app/AppTestSupport.h"
#include "app/ScriptedUser.h"

namespace kestiva {
namespace {

using testing::child;
using testing::press;
using testing::pressing;
using testing::ScriptedUser;

class StartUpTest : public ::testing::Test {
protected:
    void startSimulator(int bitRate, int station) {
        sim = std::make_unique<testing::SimProcess>(
            std::vector<std::string>{"--bitrate", std::to_string(bitRate), "--station",
                                     std::to_string(station)},
            folder.portLink(1));
        ASSERT_TRUE(sim->ok()) << sim->log();
    }

    // Runs the program from programFolder to its end, the user answering every dialog.
    void runProgram(ScriptedUser& user, const std::string& programFolder) {
        mainWindowRuns = 0;
        startUp = std::make_unique<StartUp>(programFolder);
        startUp->run([this](Session& session, WindowBridge&) {
            mainWindowRuns += 1;
            verifiedAtMainWindow = session.settings().verifiedStation;
            confirmedAtMainWindow = session.state().communicationConfirmed;
        });
        EXPECT_TRUE(user.done()) << "the program ended before the script";
        EXPECT_THAT(user.errors(), ::testing::IsEmpty());
    }
    void runProgram(ScriptedUser& user) { runProgram(user, folder.path()); }

    Session& session() { return startUp->session(); }
    std::string settingsFile() const { return testing::readFile(folder.settingsFile()); }

    testing::ShippedProgramFolder folder;
    const std::string shippedSettings = settingsFile();
    std::unique_ptr<testing::SimProcess> sim;
    std::unique_ptr<StartUp> startUp;
    int mainWindowRuns = 0;
    int32_t verifiedAtMainWindow = 0;
    bool confirmedAtMainWindow = false;
};

// The settings once a check has ended. Its OK is enabled when the check's loops have returned,
// which may be a moment after its last window has gone and the settings are active again.
bool checkEnded(QWidget* frame) {
    return child(frame, "okButton")->isEnabled();
}

void pressEnterAndEscape(QWidget* widget) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(widget, key);
}

TEST_F(StartUpTest, DecliningTheTermsEndsTheProgramWithoutReadingOrWritingSettings) {
    const struct {
        const char* how;
        ScriptedUser::Action decline;
    } cases[] = {
        {"decline button", pressing("declineButton")},
        {"window closed", [](QWidget* dialog) { dialog->close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        ScriptedUser user;
        user.then("disclaimerDialog", [&](QWidget* dialog) {
            // The marked button is the decline, and Enter on it must not press it either.
            auto* decline = child<QPushButton>(dialog, "declineButton");
            EXPECT_TRUE(decline->isDefault());
            pressEnterAndEscape(decline);
            pressEnterAndEscape(child(dialog, "termsText"));
            EXPECT_TRUE(dialog->isVisible());
            c.decline(dialog);
        });
        runProgram(user);

        EXPECT_EQ(user.seenNames(), QStringList{"disclaimerDialog"});
        EXPECT_EQ(mainWindowRuns, 0);
        EXPECT_EQ(session().settings().portCount, 0) << "the settings were read";
        EXPECT_EQ(settingsFile(), shippedSettings);
    }
}

TEST_F(StartUpTest, EveryCheckLetsTheUserGoOnAndTheSettingsAreWrittenAtTheEnd) {
    using Values = std::vector<std::pair<std::string, std::string>>;
    const auto nothing = [](QWidget*) {};
    const auto searching = [](QWidget* frame) { press(frame, "autoRadio"); };
    const auto nextStation = [](QWidget* f) {
        QTest::keyClick(child(f, "stationList"), Qt::Key_Down);
    };
    const auto nextPort = [](QWidget* f) { QTest::keyClick(child(f, "portList"), Qt::Key_Down); };
    const struct {
        const char* what;
        int simBitRate;  // 0: no simulator
        int simStation;
        std::function<void(QWidget* frame)> choose;
        TextId caption;
        QMessageBox::Icon icon;
        QString percentAtMessage;  // empty: no check window
        bool confirmed;
        int32_t verified;
        Values written;
    } cases[] = {
        // clang-format off
        {"manual check found", 38400, 1, nothing, text::MSG_COMSETTING_COMSEARCH_OK_TITLE,
         QMessageBox::Information, "0%", true, 1, {}},
        {"manual check without answer", 38400, 1, nextStation,
         text::MSG_COMSETTING_COMSEARCH_NG_TITLE, QMessageBox::Critical, "0%", false, -1, {}},
        {"search found", 57600, 3, searching, text::MSG_COMSETTING_COMSEARCH_OK_TITLE,
         QMessageBox::Information, "8%", true, 3,
         {{"COM_SELECT", "AUTO"}, {"COM_BITRATE", "57600"}, {"COM_CONNECTION_ID", "3"}}},
        {"port that does not open", 0, 0, nextPort, text::MSG_COMSETTING_COMOPEN_ERROR_TITLE,
         QMessageBox::Critical, "", false, -1, {{"COM_PORT", "COM2"}}},
        // clang-format on
    };
    folder.linkPortToNothing(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim.reset();
        if (c.simBitRate != 0)
            startSimulator(c.simBitRate, c.simStation);
        std::ofstream(folder.settingsFile(), std::ios::binary) << shippedSettings;

        ScriptedUser user;
        user.then("disclaimerDialog", pressing("agreeButton"))
            .then("comSettingFrame",
                  [&](QWidget* frame) {
                      c.choose(frame);
                      EXPECT_FALSE(child(frame, "okButton")->isEnabled());
                      press(frame, "checkButton");
                  })
            // The check window has gone before its result is shown, with its last percent.
            .then("messageBox",
                  [&](QWidget* box) {
                      EXPECT_EQ(testing::topLevel("checkWindow"), nullptr);
                      EXPECT_FALSE(static_cast<QMessageBox*>(box)->text().endsWith('\n'));
                      QWidget* window = nullptr;
                      for (QWidget* w : QApplication::topLevelWidgets())
                          if (w->objectName() == "checkWindow")
                              window = w;
                      ASSERT_EQ(window != nullptr, !c.percentAtMessage.isEmpty());
                      if (window) {
                          EXPECT_EQ(child<QLabel>(window, "percentLabel")->text(),
                                    c.percentAtMessage);
                          EXPECT_EQ(child<QProgressBar>(window, "checkProgressBar")->value(),
                                    c.percentAtMessage.chopped(1).toInt());
                      }
                      testing::acknowledge(box);
                  })
            .then("comSettingFrame", pressing("okButton"), checkEnded);
        runProgram(user);

        ASSERT_EQ(user.seen().size(), 4u);
        const ScriptedUser::Seen& message = user.seen()[2];
        EXPECT_EQ(message.title.toStdString(), session().texts().GetText(c.caption));
        EXPECT_EQ(message.icon, c.icon);
        EXPECT_TRUE(message.owned);
        EXPECT_EQ(mainWindowRuns, 1);
        EXPECT_EQ(confirmedAtMainWindow, c.confirmed);
        EXPECT_EQ(verifiedAtMainWindow, c.verified);
        std::string expected = shippedSettings;
        for (const auto& [key, value] : c.written)
            expected = testing::withValue(expected, key, value);
        EXPECT_EQ(settingsFile(), expected);
    }
}

TEST_F(StartUpTest, CancellingTheSearchEndsItWithoutAMessageAndEnterOrEscapeCloseNothing) {
    startSimulator(38400, 40);  // a station the search never tries
    ScriptedUser user;
    user.then("disclaimerDialog", pressing("agreeButton"))
        .then("comSettingFrame",
              [](QWidget* frame) {
                  EXPECT_TRUE(child(frame, "okButton2")->isHidden());
                  for (const char* name : {"portList", "stationList", "checkButton", "quitButton"})
                      pressEnterAndEscape(child(frame, name));
                  pressEnterAndEscape(frame);
                  EXPECT_TRUE(frame->isVisible());
                  press(frame, "autoRadio");
                  press(frame, "checkButton");
              })
        .then(
            "checkWindow",
            [](QWidget* window) {
                const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
                EXPECT_EQ(window->pos(),
                          QPoint(area.left() + (area.width() - window->width()) / 2,
                                 area.top() + (area.height() - window->height()) / 2));
                pressEnterAndEscape(window);
                window->close();
                EXPECT_TRUE(window->isVisible());
                press(window, "cancelButton");
                EXPECT_FALSE(child(window, "cancelButton")->isEnabled());
            },
            [](QWidget* window) { return child<QLabel>(window, "percentLabel")->text() != "0%"; })
        .then("comSettingFrame", pressing("quitButton"), checkEnded);
    runProgram(user);

    EXPECT_EQ(user.seenNames(), (QStringList{"disclaimerDialog", "comSettingFrame", "checkWindow",
                                             "comSettingFrame"}));
    EXPECT_EQ(mainWindowRuns, 0);
    EXPECT_EQ(session().settings().verifiedStation.load(), -1);
    EXPECT_FALSE(session().state().communicationConfirmed);
    EXPECT_EQ(settingsFile(), shippedSettings);
}

TEST_F(StartUpTest, StartUpFailuresAreReportedOnlyAfterTheSettingsWereConfirmed) {
    const struct {
        const char* what;
        const char* brokenFile;
        bool confirm;
        QString report;  // empty: none
        QMessageBox::Icon icon;
    } cases[] = {
        {"language file missing", "LanguageData.ini", true, "LanguageData.ini Reading Failed",
         QMessageBox::Warning},
        {"language file missing, settings quit", "LanguageData.ini", false, "", {}},
        {"configuration broken", "DataSamplingConfig.ini", true,
         "DataSamplingConfig.ini Reading Failed", QMessageBox::Critical},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::ShippedProgramFolder broken;
        const bool languageMissing = c.brokenFile == std::string("LanguageData.ini");
        std::filesystem::remove(broken.system(c.brokenFile));
        if (!languageMissing)
            std::ofstream(broken.system(c.brokenFile)) << "[DATA_SAMPLING_SETTING]\nnot=usable\n";
        broken.linkPortToNothing(1);  // the check fails at once and lets OK go

        ScriptedUser user;
        user.then("disclaimerDialog", [&](QWidget* dialog) {
            // Without the language file the built-in texts stay.
            const QString terms = child<QPlainTextEdit>(dialog, "termsText")->toPlainText();
            EXPECT_EQ(terms.startsWith("Please read these terms before you use Kestiva"),
                      !languageMissing);
            EXPECT_FALSE(terms.isEmpty());
            press(dialog, "agreeButton");
        });
        if (c.confirm)
            user.then("comSettingFrame", pressing("checkButton"))
                .thenAcknowledge()
                .then("comSettingFrame", pressing("okButton"), checkEnded)
                .thenAcknowledge();
        else
            user.then("comSettingFrame", pressing("quitButton"));
        runProgram(user, broken.path());

        EXPECT_EQ(mainWindowRuns, 0);
        EXPECT_EQ(testing::readFile(broken.settingsFile()), shippedSettings);
        if (c.report.isEmpty()) {
            EXPECT_EQ(user.seenNames(), (QStringList{"disclaimerDialog", "comSettingFrame"}));
            continue;
        }
        ASSERT_EQ(user.seen().size(), 5u);
        const ScriptedUser::Seen& report = user.seen().back();
        EXPECT_EQ(report.text, c.report);
        EXPECT_EQ(report.title, "Kestiva Data Monitor");
        EXPECT_EQ(report.icon, c.icon);
        EXPECT_FALSE(report.owned);
    }
}

// A user copy of the System files that could not be made is said once the terms are accepted,
// before the settings that it concerns.
TEST_F(StartUpTest, AUserCopyThatCouldNotBeMadeIsSaidAfterTheTerms) {
    ScriptedUser user;
    user.then("disclaimerDialog", pressing("agreeButton"))
        .thenAcknowledge()
        .then("comSettingFrame", pressing("quitButton"));
    mainWindowRuns = 0;
    startUp = std::make_unique<StartUp>(folder.path());
    startUp->setSystemFolderProblem("/home/u/.config/kestiva/System: Not a directory");
    startUp->run([this](Session&, WindowBridge&) { mainWindowRuns += 1; });
    EXPECT_TRUE(user.done());
    ASSERT_EQ(user.seenNames(), (QStringList{"disclaimerDialog", "messageBox", "comSettingFrame"}));
    const ScriptedUser::Seen& warning = user.seen()[1];
    EXPECT_EQ(warning.icon, QMessageBox::Warning);
    EXPECT_EQ(warning.text,
              QString::fromStdString(session().texts().GetText(text::MSG_USER_SYSTEM_FOLDER_ERR)) +
                  "\n/home/u/.config/kestiva/System: Not a directory");
}

TEST(AboutDialogTest, ShowsTheProgramsNameAndVersionUnderItsTitle) {
    testing::ShippedProgramFolder folder;
    LanguageCatalogue texts(folder.path());
    texts.LoadLanguageCatalogue();
    AboutDialog dialog(texts);

    EXPECT_EQ(dialog.windowTitle(), "Version Information");
    EXPECT_EQ(child<QLabel>(&dialog, "versionLabel")->text(), "Kestiva Data Monitor    V100");
    EXPECT_FALSE(child<QLabel>(&dialog, "iconLabel")->pixmap().isNull());
}

}  // namespace
}  // namespace kestiva
