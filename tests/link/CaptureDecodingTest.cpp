#include "link/CaptureDecoding.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/ConfiguredItems.h"
#include "recording/TextToLong.h"
#include "settings/ProgramFolder.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using testing::dataItem;
using testing::ioSignal;
using testing::RecordingWindow;

// Appends one reply frame as the engine stores it; the CRC bytes are not looked at here.
void appendFrame(std::vector<uint8_t>& capture, const std::vector<uint8_t>& data) {
    capture.push_back(1);
    capture.push_back(3);
    capture.push_back(uint8_t(data.size()));
    capture.insert(capture.end(), data.begin(), data.end());
    capture.push_back(0xAA);
    capture.push_back(0x55);
}

class CaptureDecodingTest : public ::testing::Test {
protected:
    CaptureDecodingTest() : texts(programFolder()) { texts.LoadLanguageCatalogue(); }

    CaptureDecoder decoder(const std::vector<uint8_t>& capture) {
        CaptureDecoder d(capture.data(), *dataPage, *ioPage, session, window, texts);
        d.setLoadPause(std::chrono::milliseconds(0));
        return d;
    }

    void useDataRange(uint16_t start, uint8_t bytes, uint16_t cycle, uint16_t time) {
        dataPage->active.rangeAddress1 = start;
        dataPage->active.rangeLength1 = bytes;
        dataPage->cycle = cycle;
        dataPage->time = time;
        session.monitorMode = kDataMonitor;
    }

    void useIoRanges(uint16_t in, uint8_t inBytes, uint16_t out, uint8_t outBytes) {
        ioPage->active.rangeAddress1 = in;
        ioPage->active.rangeLength1 = inBytes;
        ioPage->active.rangeAddress2 = out;
        ioPage->active.rangeLength2 = outBytes;
        ioPage->cycle = 100;
        ioPage->time = 10;
        session.monitorMode = kIoMonitor;
    }

    LanguageCatalogue texts;
    SessionState session;
    RecordingWindow window;
    std::unique_ptr<PageRecording> dataPage = std::make_unique<PageRecording>(kDataMonitor);
    std::unique_ptr<PageRecording> ioPage = std::make_unique<PageRecording>(kIoMonitor);
};

TEST_F(CaptureDecodingTest, CompleteRecordingIsCappedConvertedAndLoaded) {
    useDataRange(0x1000, 2, 100, 10);
    dataPage->active.items[0] = dataItem(0x1000, 3);
    std::vector<uint8_t> capture;
    for (int i = 0; i < 102; ++i) appendFrame(capture, {uint8_t(i >> 8), uint8_t(i)});

    decoder(capture).onRecordingComplete(SamplingState::Finished, uint32_t(capture.size()));

    EXPECT_EQ(dataPage->sampleCount, 101u);  // 10 s / 100 ms + 1
    EXPECT_EQ(dataPage->endMarker, EndMarker::Complete);
    EXPECT_EQ(dataPage->texts.cell(100, 0), "10000");
    EXPECT_EQ(dataPage->texts.cell(100, 1), "100");
    EXPECT_EQ(dataPage->dataValue(57, 0), 57);
    EXPECT_TRUE(session.dataSavable);
    EXPECT_EQ(session.phase(), ProgressPhase::Conversion);
    EXPECT_EQ(session.progressCount, 101);
    const auto calls = window.calls();
    const std::vector<std::string> tail(calls.end() - 6, calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "load0", "phase:" + texts.GetText(text::MSG_PROGRESS_STATE_MONITOR_COMP),
                        "repaint", "enable0", "resetTimer1000", "stopProgressTimer"}));
}

TEST_F(CaptureDecodingTest, DataTypesKeepSignAndClamp) {
    // Registers 0x1000..0x1003: the 32-bit pattern of -2, then 2,147,483,648, then 0x80FF.
    useDataRange(0x1000, 10, 100, 10);
    const std::vector<uint8_t> data = {0xFF, 0xFF, 0xFF, 0xFE, 0x80, 0x00, 0x00, 0x00, 0x80, 0xFF};
    struct Case {
        uint16_t address;
        int32_t type;
        const char* text;
        int32_t raw;
    };
    const Case cases[] = {
        {0x1000, 0, "-2", -2},
        {0x1002, 1, "2147483648", 2147483647},
        {0x1002, 0, "-2147483648", INT32_MIN},
        {0x1004, 2, "-32513", -32513},
        {0x1004, 3, "33023", 33023},
        {0x1004, 4, "-128", -128},
        {0x1004, 5, "128", 128},
        {0x1004, 6, "-1", -1},
        {0x1004, 7, "255", 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        dataPage->active.items[0] = dataItem(c.address, c.type);
        std::vector<uint8_t> capture;
        appendFrame(capture, data);
        appendFrame(capture, data);
        decoder(capture).onRecordingComplete(SamplingState::Finished, uint32_t(capture.size()));
        EXPECT_EQ(dataPage->texts.cell(1, 1), c.text);
        EXPECT_EQ(dataPage->dataValue(1, 0), c.raw);
    }
}

TEST_F(CaptureDecodingTest, RawValuesAreTheTextsConverted) {
    // Every type over registers at the edges of their ranges, and three items at once: each
    // text is the value printed, and the raw table holds what that text converts to.
    const std::vector<std::vector<uint8_t>> patterns = {
        {0x00, 0x00, 0x00, 0x00}, {0x7F, 0xFF, 0xFF, 0xFF}, {0x80, 0x00, 0x00, 0x00},
        {0xFF, 0xFF, 0xFF, 0xFF}, {0x80, 0x7F, 0x00, 0x01}, {0x05, 0xF5, 0xE1, 0x00},
        {0x3B, 0x9A, 0xC9, 0xFF}, {0x00, 0x80, 0xFF, 0x7F},
    };
    useDataRange(0x1000, 6, 100, 10);
    std::vector<uint8_t> capture;
    for (const auto& pattern : patterns) {
        std::vector<uint8_t> data = pattern;
        data.insert(data.end(), {pattern[3], pattern[0]});
        appendFrame(capture, data);
    }
    for (int32_t type = 0; type <= 7; ++type) {
        SCOPED_TRACE(type);
        dataPage->active.items[0] = dataItem(0x1000, type);
        dataPage->active.items[1] = dataItem(0x1001, type < 2 ? type : 7 - type);
        dataPage->active.items[2] = dataItem(0x1002, type < 2 ? 3 : type);
        decoder(capture).onRecordingComplete(SamplingState::Finished, uint32_t(capture.size()));
        ASSERT_EQ(dataPage->sampleCount, patterns.size());
        for (uint32_t row = 0; row < patterns.size(); ++row) {
            EXPECT_EQ(dataPage->texts.cell(row, 0), std::to_string(100 * row));
            for (int slot = 0; slot < 3; ++slot) {
                const ItemValue value = *decodeItemValue(dataPage->active, slot,
                                                         capture.data() + 3 + 11 * row, 6);
                const std::string printed =
                    (value.negative ? "-" : "") + std::to_string(value.magnitude);
                const std::string_view text = dataPage->texts.cell(row, slot + 1);
                EXPECT_EQ(text, printed);
                EXPECT_EQ(dataPage->dataValue(row, slot), textToLong(text)) << text;
            }
        }
    }
}

TEST_F(CaptureDecodingTest, UndecodableItemsFailWithoutReadingPastTheFrame) {
    useDataRange(0x1000, 2, 100, 10);
    std::vector<uint8_t> capture;
    for (int i = 0; i < 3; ++i) appendFrame(capture, {1, 2});
    const DataItem bad[] = {
        dataItem(0x1000, 8),  // unknown type code
        dataItem(0x1000, 0),  // two registers, one in the range
        dataItem(0x1001, 3),  // past the range
        dataItem(0x0FFF, 3),  // before the range
    };
    for (const DataItem& item : bad) {
        dataPage->active.items[1] = item;
        EXPECT_EQ(decoder(capture).decodeDataFrames(uint32_t(capture.size())), 0);
    }
    decoder(capture).onRecordingComplete(SamplingState::Finished, uint32_t(capture.size()));
    EXPECT_FALSE(session.dataSavable);
    EXPECT_FALSE(window.called("load0"));
    EXPECT_FALSE(window.called("enable0"));
    EXPECT_TRUE(window.called("resetTimer1000"));
}

TEST_F(CaptureDecodingTest, ShortOrFailedRecordingsAreNotConverted) {
    useDataRange(0x1000, 2, 100, 10);
    dataPage->active.items[0] = dataItem(0x1000, 3);
    std::vector<uint8_t> capture;
    appendFrame(capture, {0, 7});  // one frame of 7 bytes: n < 14

    dataPage->endMarker = EndMarker::Complete;
    decoder(capture).onRecordingComplete(SamplingState::StopRequested, uint32_t(capture.size()));
    EXPECT_EQ(dataPage->endMarker, EndMarker::CutShort);
    EXPECT_FALSE(session.dataSavable);
    EXPECT_FALSE(window.called("showProgress"));
    EXPECT_TRUE(window.messages().empty());

    // A communication error: the message, then the recording counts as cut short.
    decoder(capture).onRecordingComplete(SamplingState::RequestFailed, 0);
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0].caption, texts.GetText(text::MSG_ALARM_TITLE));
    EXPECT_EQ(window.messages()[0].text,
              texts.composeError(text::MSG_COM_COMMUNICATION_ERR,
                                 text::MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS));
    EXPECT_EQ(window.messages()[0].icon, MessageIcon::Error);
}

// A vanished port or closed connection: the user learns why, and the frames stored before it
// are shown as a recording cut short, ready to save.
TEST_F(CaptureDecodingTest, ALostPortShowsWhatWasRecordedAsCutShort) {
    useDataRange(0x1000, 2, 100, 10);
    dataPage->active.items[0] = dataItem(0x1000, 3);
    std::vector<uint8_t> capture;
    for (int i = 0; i < 4; ++i) appendFrame(capture, {0, uint8_t(10 + i)});
    dataPage->endMarker = EndMarker::Complete;
    decoder(capture).onRecordingComplete(SamplingState::PortLost, uint32_t(capture.size()));
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0].text,
              texts.composeError(text::MSG_COM_PORT_LOST,
                                 text::MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS));
    EXPECT_EQ(dataPage->endMarker, EndMarker::CutShort);
    EXPECT_TRUE(session.dataSavable);
    EXPECT_TRUE(window.called("load0"));
    ASSERT_EQ(dataPage->sampleCount, 4u);
    EXPECT_EQ(dataPage->dataValue(3, 0), 13);
}

TEST_F(CaptureDecodingTest, CrcErrorKeepsTheEndMarkerAndLoadsNothing) {
    useDataRange(0x1000, 2, 100, 10);
    dataPage->active.items[0] = dataItem(0x1000, 3);
    std::vector<uint8_t> capture;
    for (int i = 0; i < 5; ++i) appendFrame(capture, {0, 1});
    for (EndMarker marker : {EndMarker::Complete, EndMarker::CutShort, EndMarker::FromCsv}) {
        dataPage->endMarker = marker;
        decoder(capture).onRecordingComplete(SamplingState::CrcError, uint32_t(capture.size()));
        EXPECT_EQ(dataPage->endMarker, marker);
    }
    EXPECT_EQ(window.messages().back().text,
              texts.composeError(text::MSG_COM_ABNORMAL_RESPONSE_CRCERR,
                                 text::MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS));
    EXPECT_FALSE(window.called("load0"));
    EXPECT_FALSE(session.dataSavable);
}

TEST_F(CaptureDecodingTest, IoBitsFromBothRanges) {
    // IN: one register at 0x2000; OUT: two registers at 0x2100.
    useIoRanges(0x2000, 2, 0x2100, 4);
    ioPage->active.items[0] = ioSignal(0x2000, 3);
    ioPage->active.items[1] = ioSignal(0x2000, 16);  // bit 16 never matches
    ioPage->active.items[2] = ioSignal(0x2101, 15);
    ioPage->active.items[15] = ioSignal(0x2100, 0);
    std::vector<uint8_t> capture;
    for (int i = 0; i < 3; ++i) {
        appendFrame(capture, {0x00, 0x08});
        appendFrame(capture, {0x00, uint8_t(i & 1), 0x80, 0x00});
    }
    decoder(capture).onRecordingComplete(SamplingState::StopRequested, uint32_t(capture.size()));

    ASSERT_EQ(ioPage->sampleCount, 3u);
    EXPECT_EQ(ioPage->endMarker, EndMarker::CutShort);
    EXPECT_EQ(ioPage->texts.cell(2, 0), "200");
    EXPECT_EQ(ioPage->texts.cell(0, 1), "1");
    EXPECT_EQ(ioPage->texts.cell(0, 2), "0");
    EXPECT_EQ(ioPage->texts.cell(0, 3), "1");
    EXPECT_EQ(ioPage->texts.cell(0, 16), "0");
    EXPECT_EQ(ioPage->texts.cell(1, 16), "1");
    EXPECT_EQ(ioPage->ioBit(1, 15), 1);
    EXPECT_EQ(ioPage->ioBit(2, 1), 0);
    EXPECT_TRUE(session.ioSavable);
    EXPECT_TRUE(window.called("load1"));
}

TEST_F(CaptureDecodingTest, RepeatedRecordingsDoNotGrowTheTable) {
    // Times of 8 digits do not fit an I/O cell; recording after recording must not pile up.
    useIoRanges(0x2000, 2, 0, 0);
    ioPage->cycle = 60000;
    ioPage->time = 60000;
    ioPage->active.items[0] = ioSignal(0x2000, 0);
    std::vector<uint8_t> capture;
    for (uint32_t i = 0; i < kSampleCapacity; ++i) appendFrame(capture, {0, 1});
    std::size_t first = 0;
    for (int run = 0; run < 5; ++run) {
        ASSERT_EQ(decoder(capture).decodeIoFrames(uint32_t(capture.size())), 1);
        EXPECT_EQ(ioPage->texts.cell(1000, 0), "60000000");
        EXPECT_EQ(ioPage->sampleCount, 1001u);
        if (run == 0) first = ioPage->memoryBytes();
    }
    EXPECT_EQ(ioPage->memoryBytes(), first);
}

TEST_F(CaptureDecodingTest, IoSignalOutsideBothRangesFails) {
    useIoRanges(0, 0, 0x2100, 2);  // OUT range only
    ioPage->active.items[0] = ioSignal(0x2100, 1);
    std::vector<uint8_t> capture;
    for (int i = 0; i < 3; ++i) appendFrame(capture, {0x00, 0x02});
    EXPECT_EQ(decoder(capture).decodeIoFrames(uint32_t(capture.size())), 1);
    EXPECT_EQ(ioPage->texts.cell(2, 1), "1");
    ioPage->active.items[4] = ioSignal(0x2101, 1);
    EXPECT_EQ(decoder(capture).decodeIoFrames(uint32_t(capture.size())), 0);
}

}  // namespace
}  // namespace kestiva
