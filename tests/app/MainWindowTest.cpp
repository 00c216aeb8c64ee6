// The main window as a user works it, against kestiva-sim: the lists, Start and its refusals,
// recordings shown on their pages, Stop, the page switch with the CSV save item, the menu's
// controller and colour choices, Close during a recording, and the recordings kept unsaved in
// their journals.

#include "recording/EmptyHosts.h"
#include "app/MainWindow.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/LiveFeed.h"
#include "app/ScriptedUser.h"
#include "app/UnsavedRecordings.h"
#include "files/Journal.h"
#include "link/CaptureDecoding.h"
#include "files/FilesTestSupport.h"
#include "views/DataMonitor.h"
#include "views/IoMonitor.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::child;
using testing::ScriptedUser;

QStringList items(const QComboBox* list) {
    QStringList texts;
    for (int k = 0; k < list->count(); ++k)
        texts << list->itemText(k);
    return texts;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Short lists for short recordings: 1 s; 3001 s at 20 ms is too many cycles, 2000 ms
        // is longer than 1 s, and 30 ms is too short for the I/O page's two requests.
        std::string config = testing::readFile(folder.system("DataSamplingConfig.ini"));
        replaceSection(config, "[DATA_SAMPLING_SETTING]", "SAMPLING=10,20,100,2000\nTIME=0,1,3001\n");
        replaceSection(config, "[IO_SAMPLING_SETTING]", "SAMPLING=20,30,100\nTIME=0,1\n");
        std::ofstream(folder.system("DataSamplingConfig.ini"), std::ios::binary) << config;

        sim = std::make_unique<testing::SimProcess>(std::vector<std::string>{"--mode", "demo"},
                                                    folder.portLink(1));
        ASSERT_TRUE(sim->ok()) << sim->log();
        ASSERT_NO_FATAL_FAILURE(startSession());
    }

    void startSession() {
        session = std::make_unique<Session>(folder.path(), bridge);
        ASSERT_TRUE(session->loadCatalogue());
        session->loadCommunicationSettings();
        ASSERT_TRUE(session->loadSamplingConfiguration());
        session->setResultPause(0ms);
    }

    static void replaceSection(std::string& file, const std::string& header,
                               const std::string& lists) {
        const std::size_t at = file.find(header);
        const std::size_t start = file.find("SAMPLING=", at);
        const std::size_t end = file.find("\n", file.find("TIME=", start)) + 1;
        file.replace(start, end - start, lists);
    }

    // The settings page's manual check, its found message answered (call it in
    // ASSERT_NO_FATAL_FAILURE, as record: a test cannot go on without it).
    void confirmLink() {
        ScriptedUser user;
        user.thenAcknowledge();
        const CheckOutcome outcome = session->runCheck(
            "COM1", {false, "1", "38400"}, progress, [] { QCoreApplication::processEvents(); });
        ASSERT_EQ(outcome.result, CheckResult::Found);
        ASSERT_TRUE(user.done());
    }

    void openWindow() {
        window = std::make_unique<MainWindow>(*session, bridge);
        window->show();
    }

    QPushButton* button(const char* name) { return child<QPushButton>(window.get(), name); }
    QComboBox* list(const char* name) { return child<QComboBox>(window.get(), name); }
    QAction* action(const char* name) { return window->findChild<QAction*>(name); }

    // Chooses the list entries and presses Start; waits until the window is idle again.
    void record(const char* prefix, const QString& cycle, const QString& time) {
        // A message box nobody expects (a recording that failed) is closed and reported,
        // rather than left waiting for an answer.
        ScriptedUser unexpected;
        list((std::string(prefix) + "CycleList").c_str())->setCurrentText(cycle);
        list((std::string(prefix) + "TimeList").c_str())->setCurrentText(time);
        button((std::string(prefix) + "StartButton").c_str())->click();
        ASSERT_NE(session->state().phase(), ProgressPhase::Idle);
        waitForIdle();
        EXPECT_THAT(unexpected.errors(), ::testing::IsEmpty());
    }

    void waitForIdle() {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return session->state().phase() == ProgressPhase::Idle &&
                       !session->recordingRunning();
            },
            60000));
    }

    EmptyCheckProgress progress;
    testing::ShippedProgramFolder folder;
    std::unique_ptr<testing::SimProcess> sim;
    WindowBridge bridge;
    std::unique_ptr<Session> session;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, WithoutACheckOnlyTheFilesAndTheVersionStayAvailable) {
    openWindow();
    EXPECT_EQ(items(list("dataCycleList")), (QStringList{"20", "100", "2000"}));
    EXPECT_EQ(items(list("dataTimeList")), (QStringList{"1", "3001"}));
    EXPECT_EQ(items(list("ioCycleList")), (QStringList{"30", "100"}));
    EXPECT_EQ(items(list("ioTimeList")), (QStringList{"1"}));
    for (const char* name : {"dataStartButton", "dataStopButton", "ioStartButton"})
        EXPECT_FALSE(button(name)->isEnabled()) << name;
    EXPECT_FALSE(list("dataCycleList")->isEnabled());
    EXPECT_TRUE(action("csvReadAction")->isEnabled());
    EXPECT_TRUE(action("versionAction")->isEnabled());
    EXPECT_FALSE(action("csvSaveAction")->isEnabled());
    EXPECT_TRUE(window->dataPage().isVisible());
    EXPECT_EQ(button("monitorSwitchButton")->text().toStdString(),
              session->texts().GetText(text::BTN_MONITOR_TITLE_DATA));
}

TEST_F(MainWindowTest, StartRefusesWhatTheEngineCannotRecordWithItsMessage) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    openWindow();
    // A refused start still clears the page, and CSV save goes with what the page holds.
    record("data", "100", "1");
    ASSERT_TRUE(action("csvSaveAction")->isEnabled());
    struct Case {
        const char* page;
        const char* cycle;
        const char* time;
        TextId message;
    };
    const Case cases[] = {
        {"data", "20", "3001", text::MSG_SAMPLING_BUFFER_ERR},
        {"data", "2000", "1", text::MSG_SAMPLING_CYCLE_ERR},
        {"io", "30", "1", text::MSG_SAMPLING_OVER_ERR},
    };
    for (const Case& c : cases) {
        if ((std::string(c.page) == "io") != (session->state().monitorMode == kIoMonitor))
            button("monitorSwitchButton")->click();
        ScriptedUser user;
        user.thenAcknowledge();
        list((std::string(c.page) + "CycleList").c_str())->setCurrentText(c.cycle);
        list((std::string(c.page) + "TimeList").c_str())->setCurrentText(c.time);
        button((std::string(c.page) + "StartButton").c_str())->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return user.done(); }, 10000)) << c.cycle;
        ASSERT_EQ(user.seen().size(), 1u);
        EXPECT_EQ(user.seen()[0].text.toStdString(), session->texts().GetText(c.message));
        EXPECT_EQ(user.seen()[0].icon, QMessageBox::Critical);
        EXPECT_EQ(session->state().phase(), ProgressPhase::Idle) << "the window stays idle";
        EXPECT_TRUE(button((std::string(c.page) + "StartButton").c_str())->isEnabled());
        EXPECT_FALSE(action("csvSaveAction")->isEnabled()) << c.cycle;
    }
}

TEST_F(MainWindowTest, TheTopRowKeepsItsPlaceWhetherProgressShowsOrNot) {
    confirmLink();
    openWindow();
    const auto groups = [this] {
        std::vector<QRect> places;
        for (const char* name : {"dataSamplingGroup", "dataRunGroup"}) {
            const QWidget* group = child<QWidget>(window.get(), name);
            places.emplace_back(group->mapTo(window.get(), QPoint(0, 0)), group->size());
        }
        return places;
    };
    QCoreApplication::processEvents();
    const std::vector<QRect> idle = groups();
    list("dataCycleList")->setCurrentText("100");
    list("dataTimeList")->setCurrentText("3001");
    button("dataStartButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->state().progressCount > 1; }, 10000));
    ASSERT_TRUE(child<QProgressBar>(window.get(), "progressBar")->isVisible());
    EXPECT_EQ(groups(), idle);
    button("dataStopButton")->click();
    waitForIdle();
    QCoreApplication::processEvents();
    EXPECT_EQ(groups(), idle);
}

// Counts the paints a widget receives.
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget& widget) { widget.installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(MainWindowTest, RecordingsAreShownOnTheirPagesAndCsvSaveFollowsThePage) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    openWindow();
    ASSERT_NO_FATAL_FAILURE(record("data", "100", "1"));
    ASSERT_NE(window->dataPage().recording(), nullptr);
    EXPECT_EQ(window->dataPage().recording()->sampleCount, 11u);
    EXPECT_TRUE(window->dataPage().entryActive());
    EXPECT_TRUE(action("csvSaveAction")->isEnabled());
    EXPECT_FALSE(child<QProgressBar>(window.get(), "progressBar")->isVisible());
    // The load of the shown page paints its graph before it returns to the core's worker,
    // which goes on only then; a hidden page's graph waits until it is shown.
    PaintCount dataPaints(const_cast<CMultiGraph&>(window->dataPage().graph()));
    PaintCount ioPaints(const_cast<CIoGraph&>(window->ioPage().graph()));
    window->loadRecording(kDataMonitor);
    window->loadRecording(kIoMonitor);
    EXPECT_GE(dataPaints.paints, 1);
    EXPECT_EQ(ioPaints.paints, 0);

    button("monitorSwitchButton")->click();
    EXPECT_TRUE(window->ioPage().isVisible());
    EXPECT_FALSE(action("csvSaveAction")->isEnabled()) << "nothing recorded on the I/O page";
    ASSERT_NO_FATAL_FAILURE(record("io", "100", "1"));
    ASSERT_NE(window->ioPage().recording(), nullptr);
    EXPECT_EQ(window->ioPage().recording()->sampleCount, 11u);
    EXPECT_TRUE(action("csvSaveAction")->isEnabled());
    button("monitorSwitchButton")->click();
    EXPECT_TRUE(action("csvSaveAction")->isEnabled());
}

TEST_F(MainWindowTest, ControllerChoiceTakesEffectAtTheNextStartAndColoursAtOnce) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    openWindow();
    const MonitorConfig& data = session->config().data();
    QMenu* controllers = window->findChild<QMenu*>("controllerMenu");
    ASSERT_GE(controllers->actions().size(), 2);
    controllers->actions()[1]->trigger();
    EXPECT_TRUE(controllers->actions()[1]->isChecked());
    EXPECT_FALSE(controllers->actions()[0]->isChecked());
    // Choosing the marked one again changes nothing.
    controllers->actions()[1]->trigger();
    EXPECT_TRUE(controllers->actions()[1]->isChecked());
    ASSERT_NO_FATAL_FAILURE(record("data", "100", "1"));
    EXPECT_EQ(session->page(kDataMonitor).active.name, data.controllers[1].name);

    QMenu* colors = window->findChild<QMenu*>("colorMenu");
    ASSERT_GE(colors->actions().size(), 2);
    colors->actions()[1]->trigger();
    EXPECT_EQ(window->dataPage().graph().backgroundColor, data.colorTables[1].backgroundColor);
}

TEST_F(MainWindowTest, StopAndCloseEndARecordingWithWhatItHolds) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    openWindow();
    list("dataCycleList")->setCurrentText("100");
    list("dataTimeList")->setCurrentText("3001");
    button("dataStartButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->state().progressCount > 3; }, 10000));
    EXPECT_TRUE(window->liveFeed().running());
    EXPECT_TRUE(button("dataStopButton")->isEnabled());
    button("dataStopButton")->click();
    EXPECT_FALSE(button("dataStopButton")->isEnabled());
    waitForIdle();
    EXPECT_FALSE(window->liveFeed().running());
    ASSERT_NE(window->dataPage().recording(), nullptr);
    EXPECT_EQ(session->page(kDataMonitor).endMarker, EndMarker::CutShort);
    EXPECT_GT(session->page(kDataMonitor).sampleCount, 3u);

    // Close while recording: the stop is requested and the window waits for the page.
    button("dataStartButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->state().progressCount > 3; }, 10000));
    EXPECT_TRUE(window->liveFeed().running());
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->liveFeed().running());
    EXPECT_EQ(session->state().phase(), ProgressPhase::Idle);
    EXPECT_FALSE(session->recordingRunning());
    EXPECT_EQ(session->page(kDataMonitor).endMarker, EndMarker::CutShort);
}

TEST_F(MainWindowTest, ThePageDrawsTheRecordingAsItArrivesAndTheLoadKeepsItsValues) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    openWindow();
    const CMultiGraph& graph = window->dataPage().graph();
    const QLabel* elapsed = child<QLabel>(&window->dataPage(), "spanLabel");
    const auto held = [&] { return graph.heldSamples(0).size(); };
    list("dataCycleList")->setCurrentText("100");
    list("dataTimeList")->setCurrentText("3001");
    button("dataStartButton")->click();

    // The time axis spans the whole planned time from the first sample on; the trace grows.
    ASSERT_TRUE(QTest::qWaitFor([&] { return held() >= 2; }, 10000));
    EXPECT_EQ(graph.lastIndex, 3001u * 10u);
    EXPECT_TRUE(graph.drawEnabled);
    const std::size_t early = held();
    ASSERT_TRUE(QTest::qWaitFor([&] { return held() >= early + 3; }, 10000));
    EXPECT_NE(session->state().phase(), ProgressPhase::Idle) << "grown before the end";
    EXPECT_LT(graph.lowerBound[0], graph.upperBound[0]);
    EXPECT_NE(elapsed->text(), QStringLiteral("---"));
    std::vector<std::vector<double>> live;
    for (uint32_t k = 0; k < kDataItemCount; ++k)
        if (graph.traceVisible[k])
            live.emplace_back(graph.heldSamples(k).begin(), graph.heldSamples(k).end());
    ASSERT_FALSE(live.empty());

    button("dataStopButton")->click();
    waitForIdle();
    ASSERT_NE(window->dataPage().recording(), nullptr);
    // The load replaced the live picture with the same values, sample by sample.
    uint32_t trace = 0;
    for (uint32_t k = 0; k < kDataItemCount; ++k) {
        if (!graph.traceVisible[k])
            continue;
        const auto loaded = graph.heldSamples(k);
        const std::vector<double>& shown = live[trace++];
        ASSERT_GE(loaded.size(), shown.size());
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (!std::isnan(shown[i])) {
                EXPECT_EQ(loaded[i], shown[i]) << "item " << k << " sample " << i;
            }
        }
    }
    EXPECT_EQ(trace, live.size());
}

// Answers a file dialog as a user does: the path typed into its name field, then accepted.
ScriptedUser::Action choosing(const std::string& path) {
    return [path](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
        static_cast<QDialog*>(dialog)->accept();  // the file dialog's own checks run
    };
}

// Says yes to the file dialog's question whether to replace a file.
void replacing(QWidget* question) {
    static_cast<QMessageBox*>(question)->button(QMessageBox::Yes)->click();
}

std::string leading(const std::string& file, std::size_t bytes) { return file.substr(0, bytes); }

class FileMenuTest : public MainWindowTest {
protected:
    // Runs a menu item with the user's answers; waits until the window takes input again.
    void use(const char* item, ScriptedUser& user) {
        action(item)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return user.done(); }, 30000)) << item;
        waitForIdle();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->centralWidget()->isEnabled(); }, 10000));
        EXPECT_THAT(user.errors(), ::testing::IsEmpty());
    }
    // The message texts the user saw, in order.
    std::vector<std::string> messages(const ScriptedUser& user) {
        std::vector<std::string> texts;
        for (const auto& seen : user.seen())
            if (seen.name == "messageBox")
                texts.push_back(seen.text.toStdString());
        return texts;
    }
    std::string text(TextId id) { return session->texts().GetText(id); }
};

TEST_F(FileMenuTest, CsvSaveWritesTheShownPageAndReadBringsItBack) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    openWindow();
    ASSERT_NO_FATAL_FAILURE(record("data", "100", "1"));
    button("monitorSwitchButton")->click();
    ASSERT_NO_FATAL_FAILURE(record("io", "100", "1"));
    button("monitorSwitchButton")->click();  // the data page is shown again
    const std::string csv = folder.path() + "run.csv";
    {
        ScriptedUser user;
        user.then("csvSaveDialog", choosing(csv)).thenAcknowledge();
        use("csvSaveAction", user);
        EXPECT_EQ(messages(user), std::vector{text(text::MSG_PROGRESS_STATE_CSV_SAVE_COMP_MSG)});
    }
    EXPECT_EQ(testing::readFile(csv).find(",IO"), std::string::npos);
    const std::string written = testing::readFile(csv);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 6 + 11);

    // Cancelling either dialog changes nothing; each opens on its last path.
    for (const char* item : {"csvSaveAction", "csvReadAction"}) {
        ScriptedUser user;
        const std::string dialog = item == std::string("csvSaveAction") ? "csvSaveDialog"
                                                                        : "csvReadDialog";
        QString shown;
        user.then(QString::fromStdString(dialog), [&](QWidget* d) {
            shown = qobject_cast<QFileDialog*>(d)->selectedFiles().value(0);
            qobject_cast<QFileDialog*>(d)->reject();
        });
        use(item, user);
        if (dialog == "csvSaveDialog") {
            EXPECT_EQ(shown.toStdString(), csv);
        }
        EXPECT_TRUE(messages(user).empty());
    }

    // A refused read keeps the page and CSV save as they were; a good one loads the file.
    const std::string broken = folder.path() + "broken.csv";
    std::ofstream(broken, std::ios::binary) << "20240101 10:00,V100,data\r\n";
    {
        ScriptedUser user;
        user.then("csvReadDialog", choosing(broken)).thenAcknowledge();
        use("csvReadAction", user);
        EXPECT_EQ(messages(user).size(), 1u);
        EXPECT_EQ(window->dataPage().recording()->sampleCount, 11u);
        EXPECT_TRUE(action("csvSaveAction")->isEnabled());
    }
    {
        ScriptedUser user;
        QString shown;
        user.then("csvReadDialog", [&](QWidget* d) {
            shown = qobject_cast<QFileDialog*>(d)->selectedFiles().value(0);
            choosing(csv)(d);
        });
        use("csvReadAction", user);
        EXPECT_EQ(shown.toStdString(), broken) << "the read dialog opens on the last read";
        EXPECT_TRUE(messages(user).empty());
        EXPECT_EQ(session->page(kDataMonitor).endMarker, EndMarker::FromCsv);
        EXPECT_TRUE(window->dataPage().entryActive());
        EXPECT_TRUE(action("csvSaveAction")->isEnabled());
    }
}

TEST_F(FileMenuTest, ASaveOntoAFullDiskReportsItAndKeepsTheOldFile) {
    testing::SmallDisk disk(64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    openWindow();
    ASSERT_NO_FATAL_FAILURE(record("data", "100", "1"));
    const std::string csv = disk.file("run.csv");
    const std::string picture = disk.file("window.bmp");
    std::ofstream(csv, std::ios::binary) << "the old recording";
    std::ofstream(picture, std::ios::binary) << "the old picture";
    {
        std::ofstream filler(disk.file("filler"), std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size())))
            filler.flush();
    }
    // Each save has a user of its own, who has gone before the next one's dialogs open.
    {
        ScriptedUser user;
        // The file could be created (names still fit); its bytes could not be written.
        user.then("csvSaveDialog", choosing(csv)).then("", replacing).thenAcknowledge();
        use("csvSaveAction", user);
        EXPECT_EQ(messages(user), std::vector{text(text::MSG_PROGRESS_STATE_CSV_SAVE_ERR_MSG)});
        EXPECT_EQ(testing::readFile(csv), "the old recording");
    }
    {
        ScriptedUser user;
        user.then("imageSaveDialog", choosing(picture)).then("", replacing).thenAcknowledge();
        use("imageSaveAction", user);
        ASSERT_EQ(messages(user), std::vector{text(text::MSG_BITMAP_SAVE_ERR)});
        EXPECT_EQ(user.seen().back().icon, QMessageBox::Critical);
        EXPECT_EQ(testing::readFile(picture), "the old picture");
    }
}

TEST_F(FileMenuTest, ImagesTakeTheFormatOfTheirNameAndTheWindowsWholeSize) {
    openWindow();
    struct Case {
        std::string typed;
        std::string written;
        std::string magic;
    };
    const Case cases[] = {
        {folder.path() + "graph.jpg", folder.path() + "graph.jpg", "\xFF\xD8"},
        {folder.path() + "plain", folder.path() + "plain.bmp", "BM"},
    };
    for (const Case& c : cases) {
        ScriptedUser user;
        user.then("imageSaveDialog", choosing(c.typed)).thenAcknowledge();
        use("imageSaveAction", user);
        EXPECT_EQ(messages(user), std::vector{text(text::MSG_BITMAP_SAVE_COMP)});
        EXPECT_EQ(leading(testing::readFile(c.written), c.magic.size()), c.magic) << c.typed;
        const QImage saved(QString::fromStdString(c.written));
        EXPECT_EQ(saved.size(), window->frameGeometry().size()) << c.typed;
    }
    action("imageCaptureAction")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), window->frameGeometry().size());
    EXPECT_TRUE(window->centralWidget()->isEnabled());
}

TEST_F(FileMenuTest, PicturesShowTheWindowAsTheUserSeesIt) {
    confirmLink();  // the Start button is green only when it can be pressed
    openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QString bitmap = QString::fromStdString(folder.path() + "window.bmp");
    const struct {
        const char* item;
        std::function<QImage()> picture;
    } cases[] = {
        {"imageCaptureAction", [] { return QGuiApplication::clipboard()->image(); }},
        {"imageSaveAction", [&] { return QImage(bitmap); }},
    };
    for (const auto& c : cases) {
        const QImage seen = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ScriptedUser user;
        if (c.item == std::string("imageSaveAction"))
            user.then("imageSaveDialog", choosing(bitmap.toStdString())).thenAcknowledge();
        use(c.item, user);
        const QRect client(window->geometry().topLeft() - window->frameGeometry().topLeft(),
                           window->size());
        EXPECT_EQ(c.picture().copy(client).convertToFormat(QImage::Format_RGB32), seen)
            << c.item;
    }
}

TEST_F(FileMenuTest, TheDumpChordWritesOneDumpWhicheverKeyComesLast) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    openWindow();
    ASSERT_NO_FATAL_FAILURE(record("data", "100", "1"));
    const std::vector<Qt::Key> chord = {Qt::Key_Control, Qt::Key_Shift, Qt::Key_F1};
    for (std::size_t last = 0; last < chord.size(); ++last) {
        std::filesystem::remove_all(folder.path() + "dumps");
        QWidget* target = button("monitorSwitchButton");
        target->setFocus();
        ScriptedUser user;
        user.thenAcknowledge();
        for (std::size_t k = 0; k < chord.size(); ++k)
            if (k != last)
                QTest::keyPress(target, chord[k]);
        QTest::keyPress(target, chord[last]);
        ASSERT_TRUE(QTest::qWaitFor([&] { return user.done(); }, 10000));
        for (Qt::Key key : chord)
            QTest::keyRelease(target, key);
        ASSERT_EQ(messages(user).size(), 1u) << "one dump for key " << last;
        EXPECT_THAT(messages(user).front(), ::testing::StartsWith("Dump File Complete."));
        // The dump's file has the second's name; a second dump in that second would fail.
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            if (entry.path().string().ends_with("_receive_buffer.log"))
                std::filesystem::remove(entry.path());
    }
}

// Closes the window as a window manager asks it to, the close waiting for whatever the window
// still does. A close that never returns ends the test program with a message instead of
// holding the suite until its time-out.
bool closeBeforeADeadline(QWidget& window) {
    std::atomic<bool> returned = false;
    std::thread watchdog([&returned] {
        for (int k = 0; k < 600 && !returned.load(); ++k)
            std::this_thread::sleep_for(100ms);
        if (!returned.load()) {
            std::fprintf(stderr, "the window did not close: a close that hangs\n");
            std::abort();
        }
    });
    const bool closed = window.close();
    returned = true;
    watchdog.join();
    return closed;
}

// A close that comes at an awkward moment of an operation ends the operation and then the
// window: whatever was pending (a worker's message or page load, its finished notification,
// the reset timer) is done first, and nothing is left running.
TEST_F(FileMenuTest, CloseAtAnyMomentOfAnOperationWaitsForItAndEnds) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    const std::string csv = folder.path() + "close.csv";
    const auto phaseIs = [this](ProgressPhase phase) {
        return [this, phase] { return session->state().phase() == phase; };
    };
    const auto recordingEnded = [this] {
        return !session->recordingRunning() && session->state().phase() != ProgressPhase::Idle;
    };
    struct Case {
        const char* moment;
        std::chrono::milliseconds resultPause;
        const char* item;  // a menu item to use, or else a one-second recording
        std::function<bool()> closeNow;
    };
    const Case cases[] = {
        {"as the recording's data are checked", 0ms, nullptr,
         [&] { return session->state().phase() > ProgressPhase::Recording; }},
        {"while the recording is loaded onto its page", 300ms, nullptr,
         phaseIs(ProgressPhase::Conversion)},
        {"after the recording, before the reset timer", 0ms, nullptr, recordingEnded},
        {"while a CSV file is saved", 300ms, "csvSaveAction", phaseIs(ProgressPhase::CsvSave)},
        {"while a CSV file is read", 300ms, "csvReadAction",
         [&] {  // its first phase can be too short to be seen
             const ProgressPhase phase = session->state().phase();
             return phase == ProgressPhase::CsvRead || phase == ProgressPhase::CsvReadConversion;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moment);
        session->setResultPause(c.resultPause);
        openWindow();
        const bool save = c.item && c.item == std::string("csvSaveAction");
        if (save) {  // a new window has nothing to save yet
            ASSERT_NO_FATAL_FAILURE(record("data", "100", "1"));
        }
        ScriptedUser user;
        if (c.item) {
            // The save's message comes during the close and is answered.
            user.then(save ? "csvSaveDialog" : "csvReadDialog", choosing(csv));
            if (save)
                user.thenAcknowledge();
            action(c.item)->trigger();
        } else {
            list("dataCycleList")->setCurrentText("100");
            list("dataTimeList")->setCurrentText("1");
            button("dataStartButton")->click();
        }
        // A recording that failed (its message refused by the user) never reaches the moment.
        ASSERT_TRUE(QTest::qWaitFor(c.closeNow, 30000)) << ::testing::PrintToString(user.errors());
        EXPECT_TRUE(closeBeforeADeadline(*window));
        EXPECT_EQ(session->state().phase(), ProgressPhase::Idle);
        EXPECT_FALSE(session->recordingRunning());
        EXPECT_TRUE(user.done());
        EXPECT_THAT(user.errors(), ::testing::IsEmpty());
        window.reset();
        EXPECT_EQ(session->page(kDataMonitor).sampleCount, 11u);
    }
}

TEST(UnsavedRecordingTexts, DurationsReadAsMinutesOrHours) {
    const struct {
        double seconds;
        const char* shown;
    } cases[] = {{0, "0:00"},      {0.9, "0:01"},       {59.4, "0:59"},        {59.6, "1:00"},
                 {3599, "59:59"}, {3600, "1:00:00"}, {36061, "10:01:01"}, {-2, "0:00"}};
    for (const auto& c : cases)
        EXPECT_EQ(durationText(c.seconds), c.shown) << c.seconds;
}

// Recordings kept in their journals because they were never saved: the question after a
// crash, the File menu's dialog, and the message when a journal could not be written.
class UnsavedRecordingTest : public FileMenuTest {
protected:
    std::string journals() const { return folder.path() + "journal/"; }
    // The program started again over the same folders.
    void restart() {
        window.reset();
        ASSERT_NO_FATAL_FAILURE(startSession());
        session->setJournalFolder(journals());
        openWindow();
    }
    QTableWidget* table(QWidget* dialog) { return child<QTableWidget>(dialog, "journalTable"); }
    // Waits until a restore has ended and the window takes input again.
    void waitForRestore(const ScriptedUser& user) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return user.done(); }, 30000));
        waitForIdle();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->centralWidget()->isEnabled(); }, 10000));
        EXPECT_THAT(user.errors(), ::testing::IsEmpty());
    }
    bool shown(QWidget* page) {
        return child<QStackedWidget>(window.get(), "pageArea")->currentWidget() == page;
    }
};

TEST_F(UnsavedRecordingTest, ARecordingCutShortByAKillIsOfferedOnceAndRestoredOntoItsPage) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    session->setJournalFolder(journals());
    openWindow();
    button("monitorSwitchButton")->click();
    ASSERT_NO_FATAL_FAILURE(record("io", "100", "1"));
    const std::string journal = session->currentJournal();
    ASSERT_FALSE(journal.empty());
    // As a kill leaves it: no end record, ten whole samples and half of the next.
    JournalContents contents;
    ASSERT_EQ(readJournal(journal, false, contents), JournalFault::None);
    const uint64_t each = sampleBytes(kIoMonitor, contents.header.controller);
    ASSERT_GE(contents.frameBytes, 11 * each);
    std::filesystem::resize_file(journal, std::filesystem::file_size(journal) -
                                              kJournalEndBytes - contents.frameBytes +
                                              10 * each + each / 2);

    {
        ScriptedUser user;
        QString question;
        user.then("unsavedRecordingQuestion", [&](QWidget* box) {
            question = static_cast<QMessageBox*>(box)->text();
            static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
        });
        ASSERT_NO_FATAL_FAILURE(restart());
        ASSERT_NO_FATAL_FAILURE(waitForRestore(user));
        EXPECT_TRUE(question.startsWith("A recording of I/O Monitor from 20"))
            << question.toStdString();
        EXPECT_TRUE(question.endsWith("(0:01) was not saved. Restore it?"))
            << question.toStdString();
    }
    EXPECT_TRUE(shown(&window->ioPage()));
    EXPECT_EQ(window->ioPage().recording()->sampleCount, 10u) << "the torn sample is dropped";
    EXPECT_EQ(session->page(kIoMonitor).endMarker, EndMarker::CutShort);
    EXPECT_TRUE(action("csvSaveAction")->isEnabled());

    // Asked once: the next start says nothing, and the journal stays for the menu's dialog.
    {
        ScriptedUser nobody;
        ASSERT_NO_FATAL_FAILURE(restart());
        QTest::qWait(200);
        EXPECT_THAT(nobody.seenNames(), ::testing::IsEmpty());
    }
    EXPECT_TRUE(std::filesystem::exists(journal));
    EXPECT_FALSE(action("csvSaveAction")->isEnabled());
}

TEST_F(UnsavedRecordingTest, TheMenusDialogListsTheKeptRecordingsAndRestoresTheChosenOne) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    session->setJournalFolder(journals());
    openWindow();
    {
        ScriptedUser user;
        user.then("unsavedRecordingsDialog", [](QWidget* dialog) {
            EXPECT_EQ(child<QLabel>(dialog, "noteLabel")->text().toStdString(),
                      "There are no unsaved recordings.");
            EXPECT_FALSE(child<QPushButton>(dialog, "restoreButton")->isEnabled());
            testing::press(dialog, "closeButton");
        });
        use("unsavedRecordingsAction", user);
    }
    ASSERT_NO_FATAL_FAILURE(record("data", "100", "1"));
    const std::string first = session->currentJournal();
    // While a recording runs, nothing can be restored.
    list("dataCycleList")->setCurrentText("20");
    button("dataStartButton")->click();
    EXPECT_FALSE(action("unsavedRecordingsAction")->isEnabled());
    waitForIdle();
    EXPECT_EQ(window->dataPage().recording()->sampleCount, 51u);
    // A journal of one sample is listed, and refused when restored (a page needs two); one with
    // nothing after its header is not listed at all.
    {
        const std::string whole = testing::readFile(first);
        JournalFault fault = JournalFault::None;
        const auto headerBytes = journalHeaderSize(whole, fault);
        ASSERT_TRUE(headerBytes.has_value());
        const uint32_t sample =
            sampleBytes(kDataMonitor, window->dataPage().recording()->active);
        std::ofstream(journals() + "0-one-sample" + std::string(kJournalExtension),
                      std::ios::binary)
            << whole.substr(0, *headerBytes + sample);
        std::ofstream(journals() + "0-header-only" + std::string(kJournalExtension),
                      std::ios::binary)
            << whole.substr(0, *headerBytes);
    }

    const auto restoring = [&](int row) {
        return [this, row](QWidget* dialog) {
            table(dialog)->selectRow(row);
            testing::press(dialog, "restoreButton");
        };
    };
    {
        ScriptedUser user;
        user.then("unsavedRecordingsDialog", [&](QWidget* dialog) {
            QTableWidget* rows = table(dialog);
            ASSERT_EQ(rows->rowCount(), 3);
            const char* durations[] = {"0:01", "0:01", "0:00"};
            for (int row = 0; row < 3; ++row) {
                EXPECT_EQ(rows->item(row, 1)->text().toStdString(), "Data Monitor");
                EXPECT_EQ(rows->item(row, 2)->text(), rows->item(0, 2)->text());
                EXPECT_EQ(rows->item(row, 3)->text().toStdString(), durations[row]);
            }
            EXPECT_FALSE(rows->item(0, 2)->text().isEmpty());
            EXPECT_GE(rows->item(0, 0)->text(), rows->item(1, 0)->text()) << "newest first";
            restoring(2)(dialog);
        });
        user.thenAcknowledge();
        use("unsavedRecordingsAction", user);
        EXPECT_EQ(messages(user), std::vector{text(text::MSG_JOURNAL_EMPTY)});
    }
    {
        ScriptedUser user;
        user.then("unsavedRecordingsDialog", restoring(1));
        button("monitorSwitchButton")->click();
        use("unsavedRecordingsAction", user);
        EXPECT_TRUE(messages(user).empty());
    }
    EXPECT_TRUE(shown(&window->dataPage()));
    EXPECT_EQ(window->dataPage().recording()->sampleCount, 11u);
    EXPECT_EQ(session->page(kDataMonitor).endMarker, EndMarker::Complete);
    EXPECT_TRUE(action("csvSaveAction")->isEnabled());
}

TEST_F(UnsavedRecordingTest, AJournalThatCouldNotBeWrittenIsSaidOnceTheRecordingIsShown) {
    ASSERT_NO_FATAL_FAILURE(confirmLink());
    // A file where the journal folder's parent should be: no journal can be made.
    std::ofstream(folder.path() + "blocker") << "a file";
    session->setJournalFolder(folder.path() + "blocker/journal/");
    openWindow();
    ScriptedUser user;
    uint32_t samplesShown = 0;
    user.then("messageBox", [&](QWidget* box) {
        samplesShown = window->dataPage().recording()->sampleCount;
        testing::acknowledge(box);
    });
    list("dataCycleList")->setCurrentText("100");
    list("dataTimeList")->setCurrentText("1");
    button("dataStartButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return user.done(); }, 30000));
    waitForIdle();
    QTest::qWait(100);
    EXPECT_EQ(samplesShown, 11u);
    ASSERT_EQ(user.seen().size(), 1u) << ::testing::PrintToString(user.errors());
    EXPECT_TRUE(user.seen().front().text.startsWith(
        QString::fromStdString(text(text::MSG_JOURNAL_WRITE_ERR))));
    EXPECT_TRUE(action("csvSaveAction")->isEnabled());
}

}  // namespace
}  // namespace kestiva
