// The ports dialog's rows over a real program folder: the entries each port offers, the entry
// its files stand for, and what a choice writes (network targets, the default again), with
// the refusals a user sees for text that is no target.

#include "window/SerialPortRows.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "window/WindowTestFolder.h"

namespace kestiva {
namespace {

class SerialPortRowsTest : public ::testing::Test {
protected:
    SerialPortRowsTest() : texts(""), ports(folder.path()) { texts.LoadLanguageCatalogue(); }

    bool targetFileExists(int number) const {
        return std::filesystem::exists(
            folder.system("ports/COM" + std::to_string(number) + "-target"));
    }
    std::string defaultEntry(int number) const {
        return "(default: " + PortAccess::defaultDevice(number) + ")";
    }

    test::WindowTestFolder folder;
    LanguageCatalogue texts;
    PortAccess ports;
};

TEST_F(SerialPortRowsTest, EachPortOffersItsDefaultThenTheDevicesThenWhatWasWrittenBefore) {
    std::string error;
    ASSERT_TRUE(ports.assign("COM2", "tcp://127.0.0.1:1502", error)) << error;
    const std::vector<SerialDeviceInfo> devices = {{"/dev/ttyUSB0", "usb-Maker_Cable_42-if00"},
                                                   {"/dev/ttyS0", ""}};
    const std::vector<PortRow> rows = makePortRows(texts, ports, 3, devices);
    ASSERT_EQ(rows.size(), 3u);
    for (int n = 1; n <= 3; ++n) {
        const PortRow& row = rows[std::size_t(n - 1)];
        EXPECT_EQ(row.name, "COM" + std::to_string(n));
        ASSERT_GE(row.entries.size(), 3u);
        EXPECT_EQ(row.entries[0], defaultEntry(n));
        EXPECT_EQ(row.targets[0], "");
        EXPECT_EQ(row.entries[1], "/dev/ttyUSB0  (usb-Maker_Cable_42-if00)");
        EXPECT_EQ(row.targets[1], devices[0].linkTarget());
        EXPECT_EQ(row.entries[2], "/dev/ttyS0");
        EXPECT_EQ(row.entries.size(), row.targets.size());
    }
    EXPECT_EQ(rows[0].writtenIndex, 0);
    EXPECT_EQ(rows[1].entries.back(), "tcp://127.0.0.1:1502");
    EXPECT_EQ(rows[1].writtenIndex, int(rows[1].entries.size()) - 1);
    EXPECT_EQ(makePortRows(texts, ports, 0, devices).size(), 0u);
    EXPECT_EQ(makePortRows(texts, ports, 300, {}).size(), 256u);
}

TEST_F(SerialPortRowsTest, ATypedTargetIsWrittenAndTheDefaultEntryRemovesItAgain) {
    std::vector<PortRow> rows = makePortRows(texts, ports, 3, {});
    // Unchanged rows write nothing.
    EXPECT_TRUE(
        applyPortChoices(texts, ports, rows, {defaultEntry(1), defaultEntry(2), defaultEntry(3)})
            .empty());
    EXPECT_FALSE(targetFileExists(1) || targetFileExists(2) || targetFileExists(3));

    const std::vector<std::string> failures = applyPortChoices(
        texts, ports, rows, {defaultEntry(1), "  tcp://127.0.0.1:1502 ", defaultEntry(3)});
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_TRUE(targetFileExists(2));
    EXPECT_FALSE(targetFileExists(1) || targetFileExists(3));
    EXPECT_EQ(ports.assignment(2).device, "tcp://127.0.0.1:1502");
    EXPECT_TRUE(ports.assignment(2).network);
    // The typed target is the row's entry now: choosing it again writes nothing new.
    ASSERT_EQ(rows[1].entries.back(), "tcp://127.0.0.1:1502");
    EXPECT_EQ(rows[1].writtenIndex, int(rows[1].entries.size()) - 1);

    EXPECT_TRUE(
        applyPortChoices(texts, ports, rows, {defaultEntry(1), defaultEntry(2), defaultEntry(3)})
            .empty());
    EXPECT_FALSE(targetFileExists(2));
    EXPECT_FALSE(ports.assignment(2).linked);
    EXPECT_EQ(rows[1].writtenIndex, 0);
}

TEST_F(SerialPortRowsTest, TextThatIsNoTargetIsRefusedPerRowAndTheOthersAreStillWritten) {
    struct Case {
        const char* typed;
        const char* said;  // a part of the failure after "COM1: "
    };
    const Case cases[] = {
        {"my controller", "Not a network target"},
        {"tcp://", "tcp://"},
        {"rtu-tcp://127.0.0.1", "rtu-tcp://127.0.0.1"},  // a gateway needs its port
        {"tcp://127.0.0.1:99999", "tcp://127.0.0.1:99999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        std::vector<PortRow> rows = makePortRows(texts, ports, 2, {});
        const std::vector<std::string> failures =
            applyPortChoices(texts, ports, rows, {c.typed, "tcp://127.0.0.1"});
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].rfind("COM1: ", 0), 0u) << failures[0];
        EXPECT_NE(failures[0].find(c.said), std::string::npos) << failures[0];
        EXPECT_FALSE(targetFileExists(1));
        EXPECT_EQ(rows[0].writtenIndex, 0);
        EXPECT_EQ(rows[0].entries.size(), 1u);
        // The good row beside it was written all the same.
        EXPECT_TRUE(targetFileExists(2));
        std::string error;
        ASSERT_TRUE(ports.assign("COM2", "", error)) << error;
    }
}

}  // namespace
}  // namespace kestiva
