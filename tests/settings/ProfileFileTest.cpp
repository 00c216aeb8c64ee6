#include "settings/ProfileFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <ostream>

#include <filesystem>
#include <string>

#include "settings/TempFolder.h"

namespace kestiva {
namespace {

using test::readFile;
using test::TempFolder;
using test::toUtf16;
using test::writeFile;

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::size_t capacity;
    std::string value;
    std::size_t count;
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileRead : public testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, GivesTheWindowsResult) {
    const ReadCase& c = GetParam();
    const ProfileFile file(c.file);
    std::string value = "untouched";
    EXPECT_EQ(file.getString(c.section, c.key, c.capacity, value), c.count);
    EXPECT_EQ(value, c.value);
}

const std::string kNul("A=ab\0cd\n", 8);

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRead,
    testing::Values(
        ReadCase{"Plain", "[S]\nKEY=value\n", "S", "KEY", 260, "value", 5},
        ReadCase{"NamesIgnoreCase", "[Sec]\nKey=v\n", "sEC", "kEY", 260, "v", 1},
        ReadCase{"BlanksDropped", " \t[ S ] \r\n\t KEY \v=\f value x \x1A\t\r\n", "S", "KEY", 260,
                 "value x", 7},
        ReadCase{"RequestBlanksDropped", "[S]\nKEY=v\n", " S ", "\tKEY ", 260, "v", 1},
        ReadCase{"SectionToLastBracket", "[a]b] trailing\nK=v\n", "a]b", "K", 260, "v", 1},
        ReadCase{"SectionWithoutBracketIsNoSection", "[S]\n[T\nK=v\n", "S", "K", 260, "v", 1},
        ReadCase{"KeyEndsAtFirstEquals", "[S]\nK=a=b\n", "S", "K", 260, "a=b", 3},
        ReadCase{"DoubleQuotesStripped", "[S]\nK=\"a b\"\n", "S", "K", 260, "a b", 3},
        ReadCase{"SingleQuotesStripped", "[S]\nK='ab'\n", "S", "K", 260, "ab", 2},
        ReadCase{"MixedQuotesKept", "[S]\nK=\"ab'\n", "S", "K", 260, "\"ab'", 4},
        ReadCase{"LoneQuoteKept", "[S]\nK=\"\n", "S", "K", 260, "\"", 1},
        ReadCase{"EmptyQuotesAreEmpty", "[S]\nK=\"\"\n", "S", "K", 260, "", 0},
        ReadCase{"CommentLine", "[S]\n;K=v\n", "S", ";K", 260, "", 0},
        ReadCase{"IndentedCommentLine", "[S]\n  ;K=v\nK=w\n", "S", "K", 260, "w", 1},
        ReadCase{"SemicolonInsideValueKept", "[S]\nK=v ; not a comment\n", "S", "K", 260,
                 "v ; not a comment", 17},
        ReadCase{"KeyBeforeFirstSection", "K=v\n[S]\n", "S", "K", 260, "", 0},
        ReadCase{"FirstSectionWins", "[S]\nA=1\n[s]\nA=2\nB=3\n", "S", "B", 260, "", 0},
        ReadCase{"FirstSectionWinsValue", "[S]\nA=1\n[s]\nA=2\n", "S", "A", 260, "1", 1},
        ReadCase{"FirstKeyWins", "[S]\nA=1\na=2\n", "S", "A", 260, "1", 1},
        ReadCase{"KeyWithoutEqualsHidesLater", "[S]\nA\nA=2\n", "S", "A", 260, "", 0},
        ReadCase{"LinesEndAtCarriageReturn", "[S]\rA=1\rB=2", "S", "B", 260, "2", 1},
        ReadCase{"EmptyValue", "[S]\nA=\n", "S", "A", 260, "", 0},
        ReadCase{"BlankValue", "[S]\nA= \t \n", "S", "A", 260, "", 0},
        ReadCase{"MissingSection", "[S]\nA=1\n", "T", "A", 260, "", 0},
        ReadCase{"EmptyKeyRequested", "[S]\n=1\n", "S", "", 260, "", 0},
        ReadCase{"NulEndsValue", "[S]\n" + kNul, "S", "A", 260, "ab", 2},
        ReadCase{"CutToCapacity", "[S]\nA=abcdef\n", "S", "A", 4, "abc", 3},
        ReadCase{"CapacityOne", "[S]\nA=abcdef\n", "S", "A", 1, "", 0},
        ReadCase{"CapacityZero", "[S]\nA=abcdef\n", "S", "A", 0, "", 0},
        // é and € are one UTF-16 unit each, 😀 two: the cut never splits a character.
        ReadCase{"CutCountsUtf16Units", "[S]\nA=a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\n", "S", "A",
                 4, "a\xC3\xA9\xE2\x82\xAC", 3},
        ReadCase{"CutNeverSplitsSurrogatePair", "[S]\nA=a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\n",
                 "S", "A", 5, "a\xC3\xA9\xE2\x82\xAC", 3},
        ReadCase{"WholeWithPair", "[S]\nA=a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\n", "S", "A", 7,
                 "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z", 6},
        ReadCase{"StrayBytesCountOne", "[S]\nA=\xFF\xFEq\n", "S", "A", 3, "\xFF\xFE", 2},
        ReadCase{"Utf8Bom", "\xEF\xBB\xBF[S]\nA=1\n", "S", "A", 260, "1", 1},
        ReadCase{"Utf16LittleEndian", toUtf16("[S]\r\nA=\xC3\xA9t\xC3\xA9\r\n"), "S", "A", 260,
                 "\xC3\xA9t\xC3\xA9", 3},
        ReadCase{"Utf16BigEndian", toUtf16("[S]\r\nA=x\r\n", false), "S", "A", 260, "x", 1},
        ReadCase{"Utf16Cut", toUtf16("[S]\nA=abc\n"), "S", "A", 3, "ab", 2}),
    [](const testing::TestParamInfo<ReadCase>& p) { return std::string(p.param.name); });

TEST(ProfileFile, UnlimitedReadGivesLongValuesWhole) {
    const std::string longValue(100000, 'x');
    const ProfileFile file("[S]\nA=" + longValue + "\n");
    std::string value;
    EXPECT_EQ(file.getString("S", "A", value), longValue.size());
    EXPECT_EQ(value, longValue);
}

TEST(ProfileFile, DetectsEncoding) {
    EXPECT_EQ(ProfileFile("[S]").encoding(), ProfileEncoding::Utf8);
    EXPECT_EQ(ProfileFile("\xEF\xBB\xBF[S]").encoding(), ProfileEncoding::Utf8Bom);
    EXPECT_EQ(ProfileFile(toUtf16("[S]")).encoding(), ProfileEncoding::Utf16Le);
    EXPECT_EQ(ProfileFile(toUtf16("[S]", false)).encoding(), ProfileEncoding::Utf16Be);
}

TEST(ProfileFile, ReadFromDiskAndMissingFile) {
    TempFolder dir;
    const std::string path = dir.system("a.ini");
    writeFile(path, "[S]\r\nA=1\r\n");
    std::string value = "old";
    EXPECT_EQ(readProfileString(path, "S", "A", 260, value), 1u);
    EXPECT_EQ(value, "1");
    EXPECT_EQ(readProfileString(dir.system("none.ini"), "S", "A", 260, value), 0u);
    EXPECT_EQ(value, "");
}

#ifndef _WIN32  // FIFOs are POSIX
TEST(ProfileFile, RefusesWhatIsNotARegularFile) {
    TempFolder dir;
    EXPECT_FALSE(ProfileFile::read(dir.path()).has_value());
    // A FIFO with no writer would block a plain open; it must be refused at once.
    const std::string fifo = dir.system("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ProfileFile::read(fifo).has_value());
    EXPECT_EQ(writeProfileString(fifo, "S", "A", "1"), -1);
}
#endif

// A write changes only the text after '=' on the key's line, in every encoding and with
// either line ending.
struct WriteCase {
    const char* name;
    bool utf16;
    const char* bom;
    const char* eol;
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, KeepsEveryOtherByte) {
    const WriteCase& c = GetParam();
    const auto text = [&](const std::string& bitRateLine) {
        const std::string e = c.eol;
        const std::string utf8 = std::string(c.bom) +
                                 "; h\xC3\xA9"
                                 "ader comment" +
                                 e + "[COMMUNICATION_SETTING]" + e + "COM_PORT=COM1\t// port" + e +
                                 bitRateLine + e + "  ; COM_BITRATE=1" + e + "[OTHER]" + e +
                                 "COM_BITRATE=9600" + e;
        return c.utf16 ? toUtf16(utf8) : utf8;
    };
    TempFolder dir;
    const std::string path = dir.system("c.ini");
    writeFile(path, text("com_bitrate = 38400 // speed  "));

    ASSERT_EQ(writeProfileString(path, "communication_setting", "COM_BITRATE",
                                 "115200 // sp\xC3\xA9"
                                 "ed"),
              0);
    EXPECT_EQ(readFile(path), text("com_bitrate =115200 // sp\xC3\xA9"
                                   "ed"));

    std::string value;
    EXPECT_EQ(readProfileString(path, "COMMUNICATION_SETTING", "COM_BITRATE", 260, value), 15u);
    EXPECT_EQ(value,
              "115200 // sp\xC3\xA9"
              "ed");
}

INSTANTIATE_TEST_SUITE_P(Encodings, ProfileWrite,
                         testing::Values(WriteCase{"Utf8Lf", false, "", "\n"},
                                         WriteCase{"Utf8CrLf", false, "", "\r\n"},
                                         WriteCase{"Utf8BomLf", false, "\xEF\xBB\xBF", "\n"},
                                         WriteCase{"Utf8BomCrLf", false, "\xEF\xBB\xBF", "\r\n"},
                                         WriteCase{"Utf16LeLf", true, "", "\n"},
                                         WriteCase{"Utf16LeCrLf", true, "", "\r\n"}),
                         [](const testing::TestParamInfo<WriteCase>& p) {
                             return std::string(p.param.name);
                         });

TEST(ProfileFile, WriteNeverCreatesFileSectionOrKey) {
    TempFolder dir;
    const std::string missing = dir.system("missing.ini");
    EXPECT_EQ(writeProfileString(missing, "S", "A", "1"), -1);
    EXPECT_FALSE(std::filesystem::exists(missing));

    const std::string path = dir.system("a.ini");
    const std::string original = "[S]\nA=1\nB\n";
    writeFile(path, original);
    EXPECT_EQ(writeProfileString(path, "T", "A", "2"), -1);
    EXPECT_EQ(writeProfileString(path, "S", "C", "2"), -1);
    EXPECT_EQ(writeProfileString(path, "S", "B", "2"), -1);  // a key line without '='
    EXPECT_EQ(readFile(path), original);
}

TEST(ProfileFile, WriteRefusesLineBreaksAndBadText) {
    TempFolder dir;
    const std::string path = dir.system("a.ini");
    writeFile(path, "[S]\nA=1\n");
    // A line break would let a value plant new keys or sections in the file.
    EXPECT_EQ(writeProfileString(path, "S", "A", "2\n[X]\nB=3"), -1);
    EXPECT_EQ(writeProfileString(path, "S", "A", "2\r3"), -1);
    EXPECT_EQ(writeProfileString(path, "S", "A",
                                 std::string("2\0"
                                             "3",
                                             3)),
              -1);
    EXPECT_EQ(readFile(path), "[S]\nA=1\n");

    writeFile(path, toUtf16("[S]\nA=1\n"));
    EXPECT_EQ(writeProfileString(path, "S", "A", "\xC3"), -1);  // cut UTF-8 has no UTF-16 form
    EXPECT_EQ(readFile(path), toUtf16("[S]\nA=1\n"));
}

#ifndef _WIN32  // owners, modes and links as POSIX has them
TEST(ProfileFile, WriteKeepsOwnerAndModeAndFollowsLinks) {
    TempFolder dir;
    const std::string real = dir.system("real.ini");
    const std::string link = dir.system("link.ini");
    writeFile(real, "[S]\nA=1\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    // Only root may give a file away; anyone else's files are their own already.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(real.c_str(), 4321, 4322), 0);
    }
    std::filesystem::create_symlink(real, link);

    EXPECT_EQ(writeProfileString(link, "S", "A", "2"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(real), "[S]\nA=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() + "System"),
                            std::filesystem::directory_iterator()),
              2);
}
#endif

TEST(ProfileFile, WriteOnLastLineWithoutLineEnd) {
    TempFolder dir;
    const std::string path = dir.system("a.ini");
    writeFile(path, "[S]\r\nA=1\r\nB=2");
    EXPECT_EQ(writeProfileString(path, "S", "B", "345"), 0);
    EXPECT_EQ(readFile(path), "[S]\r\nA=1\r\nB=345");
}

}  // namespace
}  // namespace kestiva
