// Port rules of the link: COMn names, one open port, configuration and the silent time,
// against the simulator on real pseudo-terminals.

#include "link/SerialLink.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include "link/PtyLine.h"
#include "link/SimProcess.h"

namespace kestiva {
namespace {

using testing::SimProcess;
using testing::TempProgramFolder;

// True when nobody holds path exclusively any more (our own link has let go of it).
bool deviceIsFree(const std::string& path) {
    SerialDevice probe;
    return probe.open(path);
}

class SerialLinkTest : public ::testing::Test {
protected:
    TempProgramFolder folder;
    SimProcess sim1{{}, folder.portLink(1)};
    SerialLink link{folder.path()};
};

TEST_F(SerialLinkTest, OpenByNameThroughThePortsFolder) {
    ASSERT_TRUE(sim1.ok()) << sim1.log();
    PortContext context;
    ASSERT_EQ(link.openPort(context, "COM1"), 0) << serialErrorText(link.lastError());
    EXPECT_EQ(context.portName, "COM1");
    EXPECT_TRUE(link.isOpen());
    EXPECT_FALSE(deviceIsFree(sim1.devicePath()));
    link.closePort(context);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(context.portName, "");
    EXPECT_TRUE(deviceIsFree(sim1.devicePath()));
}

TEST_F(SerialLinkTest, SecondOpenClosesTheFirst) {
    SimProcess sim2({}, folder.portLink(2));
    ASSERT_TRUE(sim1.ok() && sim2.ok());
    PortContext hidden;
    PortContext visible;
    ASSERT_EQ(link.openPort(hidden, "COM1"), 0);
    ASSERT_EQ(link.configurePort(9600, hidden, 1, 0), 0);
    ASSERT_EQ(link.openPort(visible, "COM2"), 0);
    EXPECT_TRUE(deviceIsFree(sim1.devicePath())) << "COM1 must have been closed";
    EXPECT_FALSE(deviceIsFree(sim2.devicePath()));
    // Only the opening context was cleared; the other keeps the name of a port that is gone.
    EXPECT_EQ(hidden.portName, "COM1");
    EXPECT_EQ(hidden.bitRate, 9600u);
    EXPECT_EQ(visible.portName, "COM2");
}

TEST_F(SerialLinkTest, AFailedOpenLeavesNoPort) {
    ASSERT_TRUE(sim1.ok());
    ASSERT_EQ(symlink("/nonexistent/ttyX", folder.portLink(9).c_str()), 0);
    PortContext context;
    ASSERT_EQ(link.openPort(context, "COM1"), 0);
    EXPECT_EQ(link.openPort(context, "COM9"), -1);
    EXPECT_EQ(link.lastError(), SerialError::NotFound);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(context.portName, "");
    EXPECT_TRUE(deviceIsFree(sim1.devicePath()));
    EXPECT_EQ(link.openPort(context, "not a port"), -1);
    EXPECT_EQ(context.portName, "");
    EXPECT_EQ(link.configurePort(38400, context, 1, 0), -1);
}

TEST_F(SerialLinkTest, CloseTwiceIsHarmless) {
    ASSERT_TRUE(sim1.ok());
    PortContext context;
    ASSERT_EQ(link.openPort(context, "COM1"), 0);
    ASSERT_EQ(link.configurePort(19200, context, 1, 0), 0);
    link.closePort(context);
    EXPECT_EQ(context.bitRate, 0u);
    context.portName = "COM1";  // another context's view after someone else closed the port
    link.closePort(context);
    EXPECT_EQ(context.portName, "COM1") << "with no port open, close changes nothing";
    EXPECT_FALSE(link.isOpen());
    std::vector<uint8_t> bytes(4);
    EXPECT_FALSE(link.write(bytes));
    EXPECT_EQ(link.read(bytes), -1);
    EXPECT_EQ(link.bytesWaiting(), -1);
}

TEST_F(SerialLinkTest, ConfigureStoresTimingAndSetsTheLine) {
    // A line of our own, so that the test sees the speed from the far end.
    testing::PtyLine line;
    ASSERT_TRUE(line.ok());
    ASSERT_EQ(symlink(line.path().c_str(), folder.portLink(5).c_str()), 0);
    auto speed = [&] {
        termios t = line.lineSettings();
        return cfgetospeed(&t);
    };
    PortContext context;
    ASSERT_EQ(link.openPort(context, "COM5"), 0);
    ASSERT_EQ(link.configurePort(9600, context, 1, 25), 0);
    EXPECT_EQ(context.bitRate, 9600u);
    EXPECT_EQ(context.silentTimeMs, 3);
    EXPECT_EQ(context.responseDelayMs, 25);
    EXPECT_EQ(speed(), static_cast<speed_t>(B9600));

    // Bit rate 0 keeps the silent time and the line speed.
    ASSERT_EQ(link.configurePort(0, context, 5, 10), 0);
    EXPECT_EQ(context.bitRate, 0u);
    EXPECT_EQ(context.silentTimeMs, 3);
    EXPECT_EQ(context.responseDelayMs, 10);
    EXPECT_EQ(speed(), static_cast<speed_t>(B9600));

    ASSERT_EQ(link.configurePort(38400, context, 5, 0), 0);
    EXPECT_EQ(context.silentTimeMs, 4);
    EXPECT_EQ(speed(), static_cast<speed_t>(B38400));

    // A rate the line cannot take fails and changes nothing: neither the line nor the timing
    // that context holds for it.
    for (const uint32_t rate : {14400u, 12345u}) {
        EXPECT_EQ(link.configurePort(rate, context, 1, 7), -1) << rate;
        EXPECT_EQ(link.lastError(), SerialError::UnsupportedBitRate);
        EXPECT_EQ(context.bitRate, 38400u);
        EXPECT_EQ(context.silentTimeMs, 4);
        EXPECT_EQ(context.responseDelayMs, 0);
        EXPECT_EQ(speed(), static_cast<speed_t>(B38400));
    }
}

TEST_F(SerialLinkTest, SamplingPortTakesTheSettings) {
    ASSERT_TRUE(sim1.ok());
    CommunicationSettings settings;
    settings.portName = "COM1";
    settings.bitRate = 9600;
    settings.silentFactor = 257;  // only its low byte counts: 1
    settings.responseDelay = 7;
    PortContext context;
    EXPECT_EQ(link.openSamplingPort(context, settings), 0);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(context.portName, "COM1");
    EXPECT_EQ(context.bitRate, 9600u);
    EXPECT_EQ(context.silentTimeMs, 3);
    EXPECT_EQ(context.responseDelayMs, 7);

    // A port that cannot be opened shows up as a failed configuration, with no port left.
    settings.portName = "COM0";
    EXPECT_EQ(link.openSamplingPort(context, settings), -1);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(context.portName, "");
}

}  // namespace
}  // namespace kestiva
