// The pieces of kestiva-cli that have rules of their own: the page's figures of a recording,
// the image encoder choice, and the JSON text.

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>

#include "tools/cli/Json.h"
#include "tools/cli/LiveOutput.h"
#include "tools/cli/LoadedRecording.h"
#include "tools/cli/TerminalWindow.h"
#include "views/ImageEncoder.h"

namespace kestiva::cli {
namespace {

// The process's time zone for one scope (POSIX TZ rules; the name in <> is the zone's
// abbreviation, the sign is west-positive).
class TimeZone {
public:
    explicit TimeZone(const char* rule) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", rule, 1);
        tzset();
    }
    ~TimeZone() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> old_;
};

TEST(CliPieces, StreamTimesAreIsoWithMillisecondsAndTheOffset) {
    struct Case {
        const char* zone;
        int64_t millis;  // since the epoch
        const char* text;
    };
    const Case cases[] = {
        // 2026-12-07 21:50:01.250 UTC
        {"UTC0", 1796680201250, "2026-12-07T21:50:01.250+00:00"},
        {"<+01>-1", 1796680201250, "2026-12-07T22:50:01.250+01:00"},
        {"<+0530>-5:30", 1796680201250, "2026-12-08T03:20:01.250+05:30"},
        {"<-03>3", 1796680201007, "2026-12-07T18:50:01.007-03:00"},
        // Across a year's end and a leap day.
        {"<-0930>9:30", 1798761599999, "2026-12-31T14:29:59.999-09:30"},
        {"UTC0", 1709164800000, "2024-02-29T00:00:00.000+00:00"},
    };
    for (const Case& c : cases) {
        const TimeZone zone(c.zone);
        const auto when = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::milliseconds(c.millis)));
        EXPECT_EQ(isoTimeText(when), c.text) << c.zone;
    }
}

TEST(CliPieces, TheExtensionNamesTheEncoder) {
    if (QCoreApplication::instance() == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "cli_pieces";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app =
        QCoreApplication::instance() == nullptr ? new QGuiApplication(argc, argv) : nullptr;
    (void)app;
    const std::pair<const char*, const char*> cases[] = {
        {"graph.bmp", "bmp"},
        {"graph.BMP", "bmp"},
        {"/tmp/a.b/graph.jpg", "jpg"},
        {"graph.JPEG", "jpeg"},
        {"graph.png", "png"},
        {"graph.tar.png", "png"},
        {"graph", ""},
        {"graph.", ""},
        {"/tmp/a.png/graph", ""},
        {"graph.unknownfmt", ""},
    };
    for (const auto& [path, format] : cases)
        EXPECT_EQ(imageEncoderForPath(QString::fromLatin1(path)).toStdString(), format) << path;
}

TEST(CliPieces, JsonTextIsValidForAnyString) {
    Json object = Json::object();
    object.set("text", "quote \" backslash \\ tab \t line\r\n bell \x07 \xC3\xA9")
        .set("zero", Json::number(-0.0001, 2))
        .set("nan", Json::number(std::numeric_limits<double>::quiet_NaN(), 2))
        .set("list", Json::array().push(1).push("two"))
        .set("empty", Json::array());
    EXPECT_EQ(object.dump(),
              "{\n"
              "  \"text\": \"quote \\\" backslash \\\\ tab \\t line\\r\\n bell \\u0007 "
              "\xC3\xA9\",\n"
              "  \"zero\": 0.00,\n"
              "  \"nan\": null,\n"
              "  \"list\": [1, \"two\"],\n"
              "  \"empty\": []\n"
              "}\n");
}

// JSON text is UTF-8: each broken sequence becomes one U+FFFD, and whatever follows it is kept.
TEST(CliPieces, JsonTextReplacesWhatIsNotUtf8) {
    const std::string r = "\xEF\xBF\xBD";  // U+FFFD
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xEF\xBF\xBD", r},                           // a replacement character is kept
        {"a\xFF!", "a" + r + "!"},                     // a byte that never starts a character
        {"caf\xE9", "caf" + r},                        // Latin-1
        {"\xC3", r},                                   // cut at the end
        {"\xE2\x82x", r + "x"},                        // cut before an ASCII byte
        {"\xE2\x82\xE2\x82\xAC", r + "\xE2\x82\xAC"},  // cut before the next character
        {"\x80\xBF", r + r},                           // continuation bytes alone
        {"\xC0\xAF", r + r},                           // overlong "/"
        {"\xE0\x80\xAF", r + r + r},                   // overlong, three bytes
        {"\xED\xA0\x80", r + r + r},                   // a surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},           // past U+10FFFF
        {"\xF0\x9F\x98", r},                           // four bytes cut to three
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(jsonEscape(text), escaped) << ::testing::PrintToString(text);
}

}  // namespace
}  // namespace kestiva::cli
