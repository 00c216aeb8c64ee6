// Network targets: their text, the MBAP translation, where a port's target is kept, and the
// link over real loopback connections to scripted servers that misbehave as networks and
// gateways do (refused, silent, a wrong transaction id, replies split or run together, a
// connection closed halfway).

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <filesystem>
#include <thread>

#include "link/LoopbackServer.h"
#include "link/MbapFraming.h"
#include "link/ModbusMaster.h"
#include "link/NetworkTarget.h"
#include "link/PortOpenFailure.h"
#include "link/SerialPorts.h"
#include "link/SimProcess.h"

namespace kestiva {

void PrintTo(LinkFault fault, std::ostream* out) { *out << "LinkFault " << int(fault); }

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using testing::LoopbackServer;
using testing::TempProgramFolder;

Bytes withCrc(Bytes frame) {
    const auto crc = crc16(frame);
    frame.insert(frame.end(), crc.begin(), crc.end());
    return frame;
}

TEST(NetworkTargetTest, ReadsTargetsAndRefusesMalformedOnes) {
    struct Case {
        const char* text;
        bool ok;
        NetworkFraming framing;
        const char* host;
        uint16_t port;
    };
    const Case cases[] = {
        {"tcp://plc.local", true, NetworkFraming::ModbusTcp, "plc.local", 502},
        {"tcp://10.0.0.7:1502", true, NetworkFraming::ModbusTcp, "10.0.0.7", 1502},
        {"tcp://[::1]", true, NetworkFraming::ModbusTcp, "::1", 502},
        {"rtu-tcp://[::1]:4001", true, NetworkFraming::RtuOverTcp, "::1", 4001},
        {"rtu-tcp://gw:65535", true, NetworkFraming::RtuOverTcp, "gw", 65535},
        {"rtu-tcp://gw", false, {}, "", 0},        // a gateway has no standard port
        {"tcp://", false, {}, "", 0},              // no host
        {"tcp://:502", false, {}, "", 0},          // no host
        {"tcp://h:0", false, {}, "", 0},           // port out of range
        {"tcp://h:65536", false, {}, "", 0},
        {"tcp://h:12x", false, {}, "", 0},
        {"tcp://h:", false, {}, "", 0},
        {"tcp://h\n:502", false, {}, "", 0},       // control character
        {"tcp://h\x7f", false, {}, "", 0},
        {"tcp://a b", false, {}, "", 0},
        {"tcp://[::1", false, {}, "", 0},          // unclosed bracket
        {"tcp://::1:502", false, {}, "", 0},       // an IPv6 address needs its brackets
        {"tcp://h/path", false, {}, "", 0},
        {"udp://h:502", false, {}, "", 0},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto target = parseNetworkTarget(c.text, error);
        ASSERT_EQ(target.has_value(), c.ok) << c.text << ": " << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(target->framing, c.framing) << c.text;
        EXPECT_EQ(target->host, c.host) << c.text;
        EXPECT_EQ(target->port, c.port) << c.text;
        std::string again;
        EXPECT_EQ(parseNetworkTarget(target->text(), again)->text(), target->text());
    }
}

TEST(MbapFramingTest, TranslatesRequestsAndTakesOnlyRepliesDue) {
    // Read of 2 registers at 0x1000 from station 5.
    const Bytes rtu = withCrc({0x05, 0x03, 0x10, 0x00, 0x00, 0x02});
    EXPECT_EQ(mbapFromRtu(0x1234, rtu),
              (Bytes{0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x05, 0x03, 0x10, 0x00, 0x00, 0x02}));
    Bytes badCrc = rtu;
    badCrc.back() ^= 1;
    EXPECT_TRUE(mbapFromRtu(1, badCrc).empty());
    EXPECT_TRUE(mbapFromRtu(1, Bytes{0x05, 0x03}).empty());

    const Bytes reply1 = {0x00, 0x07, 0, 0, 0, 7, 0x05, 0x03, 4, 0xAA, 0xBB, 0xCC, 0xDD};
    const Bytes reply2 = {0x00, 0x08, 0, 0, 0, 3, 0x05, 0x83, 0x02};
    MbapReceiver receiver;
    std::deque<uint8_t> out;
    receiver.sent(7);
    receiver.sent(8);
    // Split across segments byte by byte, then two replies in one segment after a reset.
    for (uint8_t byte : reply1)
        ASSERT_TRUE(receiver.receive(Bytes{byte}, out));
    EXPECT_EQ(Bytes(out.begin(), out.end()), withCrc({0x05, 0x03, 4, 0xAA, 0xBB, 0xCC, 0xDD}));
    out.clear();
    receiver.reset();
    receiver.sent(7);
    receiver.sent(8);
    Bytes both = reply1;
    both.insert(both.end(), reply2.begin(), reply2.end());
    ASSERT_TRUE(receiver.receive(both, out));
    Bytes expected = withCrc({0x05, 0x03, 4, 0xAA, 0xBB, 0xCC, 0xDD});
    const Bytes exception = withCrc({0x05, 0x83, 0x02});
    expected.insert(expected.end(), exception.begin(), exception.end());
    EXPECT_EQ(Bytes(out.begin(), out.end()), expected);

    // A transaction not outstanding, and a protocol id other than 0, are dropped.
    out.clear();
    receiver.sent(9);
    Bytes wrongId = reply2;
    wrongId[1] = 0x0A;
    Bytes wrongProtocol = reply2;
    wrongProtocol[1] = 0x09;
    wrongProtocol[3] = 1;
    ASSERT_TRUE(receiver.receive(wrongId, out));
    ASSERT_TRUE(receiver.receive(wrongProtocol, out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(receiver.droppedReplies(), 2u);
    // A length no frame has: the stream is out of step.
    EXPECT_FALSE(receiver.receive(Bytes{0, 9, 0, 0, 0x01, 0x00, 5}, out));
}

TEST(NetworkPortsTest, KeepsTargetsBesideTheLinksAndOldLinksWorking) {
    TempProgramFolder folder;
    namespace fs = std::filesystem;
    const std::string program = folder.path();
    std::string error;
    // An assignment made before network targets: a link only.
    fs::create_symlink("/dev/null", folder.portLink(2));
    EXPECT_EQ(resolvePortDevice(program, "COM2"), folder.portLink(2));

    ASSERT_TRUE(assignPort(program, "COM2", "tcp://127.0.0.1:1502", error)) << error;
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(folder.portLink(2))));
    EXPECT_EQ(readPortTarget(program, 2), "tcp://127.0.0.1:1502");
    EXPECT_EQ(resolvePortDevice(program, "COM2"), "tcp://127.0.0.1:1502");
    const PortAssignment network = readPortAssignment(program, 2);
    EXPECT_TRUE(network.network && network.linked && network.present);
    EXPECT_EQ(network.device, "tcp://127.0.0.1:1502");

    ASSERT_TRUE(assignPort(program, "COM2", "/dev/null", error)) << error;
    EXPECT_FALSE(fs::exists(portTargetPath(program, 2)));
    EXPECT_EQ(resolvePortDevice(program, "COM2"), folder.portLink(2));

    ASSERT_TRUE(assignPort(program, "COM2", "rtu-tcp://gw:4001", error)) << error;
    ASSERT_TRUE(assignPort(program, "COM2", "", error)) << error;
    EXPECT_FALSE(fs::exists(portTargetPath(program, 2)));
    EXPECT_EQ(resolvePortDevice(program, "COM2"), defaultPortDevice(2));

    for (const char* malformed : {"tcp://", "rtu-tcp://gw", "tcp://h:70000", "tcp://h\r\n"}) {
        EXPECT_FALSE(assignPort(program, "COM3", malformed, error)) << malformed;
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(fs::exists(portTargetPath(program, 3))) << malformed;
    }
    // A target given as the port name stands for itself.
    EXPECT_EQ(resolvePortDevice(program, "rtu-tcp://gw:4001"), "rtu-tcp://gw:4001");
}

// ---------------------------------------------------------------------------------------------
// The link against scripted servers.

// What a controller answers to an RTU request: an echo, or registers i holding 0x0100 + i.
Bytes rtuAnswer(const Bytes& request) {
    if (request.size() < 6 || request[1] != kReadHoldingRegisters)
        return request;
    const int count = request[5];
    Bytes reply = {request[0], kReadHoldingRegisters, uint8_t(2 * count)};
    for (int i = 0; i < count; ++i) {
        reply.push_back(0x01);
        reply.push_back(uint8_t(request[3] + i));
    }
    return withCrc(reply);
}

// The same answer in MBAP form to an MBAP request, under transaction id + shift.
Bytes mbapAnswer(const Bytes& request, int shift = 0) {
    const Bytes rtu = rtuAnswer(withCrc(Bytes(request.begin() + 6, request.end())));
    Bytes reply = mbapFromRtu(uint16_t((request[0] << 8 | request[1]) + shift), rtu);
    return reply;
}

// Receives one request in the framing of scheme; empty when none came.
Bytes receiveRequest(LoopbackServer::Peer& peer, bool mbap) {
    return mbap ? peer.receiveMbap() : peer.receive(kRequestLength);
}

Bytes answer(const Bytes& request, bool mbap) {
    return mbap ? mbapAnswer(request) : rtuAnswer(request);
}

class NetworkLinkTest : public ::testing::TestWithParam<const char*> {
protected:
    bool mbap() const { return std::string(GetParam()) == "tcp"; }
    void open(const LoopbackServer& server) {
        ASSERT_EQ(link.openPort(context, server.target(GetParam())), 0) << link.lastReason();
        ASSERT_TRUE(context.network);
        ASSERT_EQ(link.configurePort(38400, context, 1, 0), 0);
        master.warmUpCount = ModbusMaster::kWarmUpRequests;
    }
    Bytes read(uint16_t address, uint16_t byteCount) {
        const TransactionResult result = master.readHoldingBlock(byteCount, 1, address, frame);
        if (!result.ok())
            return {};
        return Bytes(frame.begin(), frame.begin() + readReplyLength(byteCount));
    }

    TempProgramFolder folder;
    SerialLink link{folder.path()};
    ModbusMaster master{link};
    PortContext context;
    std::array<uint8_t, 256> frame{};
};

TEST_P(NetworkLinkTest, SplitRepliesAndRepliesRunTogetherArriveWhole) {
    const bool framed = mbap();
    LoopbackServer server([framed](LoopbackServer::Peer& peer) {
        // The echo a byte at a time.
        const Bytes echo = receiveRequest(peer, framed);
        for (uint8_t byte : answer(echo, framed)) {
            peer.send({byte});
            std::this_thread::sleep_for(2ms);
        }
        // Two reads, both replies in one segment.
        const Bytes first = receiveRequest(peer, framed);
        const Bytes second = receiveRequest(peer, framed);
        Bytes both = answer(first, framed);
        const Bytes next = answer(second, framed);
        both.insert(both.end(), next.begin(), next.end());
        peer.send(both);
        peer.stayQuiet();
    });
    open(server);
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::None);

    // Two requests out before a reply is read, as in a recording's warm-up: the replies are
    // read in order, each whole, though they came in one segment.
    master.warmUpCount = 0;
    ASSERT_TRUE(master.readHoldingBlock(4, 1, 0x10, frame).ok());
    master.warmUpCount = ModbusMaster::kWarmUpRequests;
    ASSERT_TRUE(master.readHoldingBlock(4, 1, 0x20, frame).ok());
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 9), withCrc({1, 3, 4, 1, 0x10, 1, 0x11}));
    ASSERT_TRUE(master.readExact(9, frame).ok());
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 9), withCrc({1, 3, 4, 1, 0x20, 1, 0x21}));
}

TEST_P(NetworkLinkTest, SilenceAndAClosedConnectionAreFaultsAndNothingReconnects) {
    const bool framed = mbap();
    LoopbackServer server([framed](LoopbackServer::Peer& peer) {
        // Two reads answered, the third heard and not answered, then the connection closes.
        for (int i = 0; i < 2; ++i)
            peer.send(answer(receiveRequest(peer, framed), framed));
        receiveRequest(peer, framed);
        std::this_thread::sleep_for(400ms);
    });
    open(server);
    EXPECT_EQ(read(0, 4), withCrc({1, 3, 4, 0x01, 0x00, 0x01, 0x01}));
    EXPECT_FALSE(read(2, 4).empty());
    EXPECT_EQ(master.readHoldingBlock(4, 1, 0, frame).fault, LinkFault::TimeOut);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(master.readHoldingBlock(4, 1, 0, frame).fault, LinkFault::PortLost);
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::PortLost);
    EXPECT_EQ(server.connections(), 1);
    // "broken pipe" or "closed by the other side", whichever the system noticed first.
    EXPECT_FALSE(link.lastReason().empty());
}

INSTANTIATE_TEST_SUITE_P(BothFramings, NetworkLinkTest, ::testing::Values("tcp", "rtu-tcp"));

TEST(NetworkLinkFaultTest, AReplyUnderAnotherTransactionIdIsNoAnswer) {
    LoopbackServer server([](LoopbackServer::Peer& peer) {
        peer.send(mbapAnswer(peer.receiveMbap(), +1));
        peer.send(mbapAnswer(peer.receiveMbap()));
        peer.stayQuiet();
    });
    TempProgramFolder folder;
    SerialLink link(folder.path());
    ModbusMaster master(link);
    PortContext context;
    ASSERT_EQ(link.openPort(context, server.target()), 0);
    ASSERT_EQ(link.configurePort(38400, context, 1, 0), 0);
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::TimeOut);
    // The next transaction is not misled by the stray reply.
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::None);
}

TEST(NetworkLinkFaultTest, RepliesOutOfStepLoseTheConnectionForGood) {
    LoopbackServer server([](LoopbackServer::Peer& peer) {
        Bytes reply = mbapAnswer(peer.receiveMbap());
        reply[4] = 0x01;  // a length of 256 + 6: no MBAP frame is that long
        peer.send(reply);
        peer.stayQuiet();
    });
    TempProgramFolder folder;
    SerialLink link(folder.path());
    ModbusMaster master(link);
    PortContext context;
    ASSERT_EQ(link.openPort(context, server.target()), 0);
    ASSERT_EQ(link.configurePort(38400, context, 1, 0), 0);
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::PortLost);
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::PortLost);
    EXPECT_EQ(link.configurePort(38400, context, 1, 0), -1);
    EXPECT_EQ(link.lastReason(), "the replies lost their MBAP framing");
}

TEST(NetworkLinkFaultTest, ARefusedConnectionSaysSoAndASilentOneIsOpenButUnanswered) {
    TempProgramFolder folder;
    SerialLink link(folder.path());
    ModbusMaster master(link);
    PortContext context;
    const std::string closed = "tcp://127.0.0.1:" + std::to_string(LoopbackServer::closedPort());
    EXPECT_EQ(link.openPort(context, closed), -1);
    EXPECT_EQ(link.lastError(), SerialError::ConnectFailed);
    EXPECT_EQ(link.lastReason(), "connection refused");
    EXPECT_TRUE(context.portName.empty());
    LanguageCatalogue texts(folder.path());
    EXPECT_EQ(describePortOpenFailure(texts, folder.path(), closed, link.lastError(),
                                      link.lastReason()),
              closed + ": connection refused.");
    // The same through a port assigned the target.
    std::string error;
    ASSERT_TRUE(assignPort(folder.path(), "COM4", closed, error)) << error;
    EXPECT_EQ(link.openPort(context, "COM4"), -1);
    EXPECT_EQ(describePortOpenFailure(texts, folder.path(), "COM4", link.lastError(),
                                      link.lastReason()),
              "COM4 (" + closed + "): connection refused.");

    LoopbackServer silent([](LoopbackServer::Peer& peer) { peer.stayQuiet(); });
    ASSERT_EQ(link.openPort(context, silent.target("rtu-tcp")), 0);
    ASSERT_EQ(link.configurePort(38400, context, 1, 0), 0);
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::TimeOut);
    master.warmUpCount = ModbusMaster::kWarmUpRequests;
    std::array<uint8_t, 64> reply{};
    EXPECT_EQ(master.readHoldingBlock(4, 1, 0, reply).fault, LinkFault::TimeOut);
}

}  // namespace
}  // namespace kestiva
