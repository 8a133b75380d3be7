#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "support/TempDir.h"

namespace {

class IniFileTest : public ::testing::Test {
  protected:
    std::string Read(const char* section, const char* key, const char* def = "dflt",
                     uint32_t size = 64) {
        char buffer[300];
        const uint32_t n = IniRead(dir.File("t.ini"), section, key, def, buffer, size);
        EXPECT_EQ(n, std::string(buffer).size());
        return buffer;
    }
    TempDir dir;
};

TEST_F(IniFileTest, ReadsAsTheWindowsProfileCallsDo) {
    dir.Write("t.ini",
              "; comment line\r\n"
              "[Other]\r\nKey=other\r\n"
              "[quorvy]\r\n"
              "  Key  =  padded value  \r\n"
              "key=second\r\n"
              "Quoted=\"a b\"\r\n"
              "Single='c'\r\n"
              "Inline=5 ; note\r\n"
              "Empty=\r\n"
              "Long=0123456789\r\n");
    const struct {
        const char* key;
        const char* expected;
    } cases[] = {
        {"Key", "padded value"}, {"KEY", "padded value"}, {"Quoted", "a b"},   {"Single", "c"},
        {"Inline", "5 ; note"},  {"Empty", ""},           {"Missing", "dflt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read("Quorvy", c.key), c.expected) << c.key;
    }
    EXPECT_EQ(Read("Other", "key"), "other");
    EXPECT_EQ(Read("Nowhere", "Key"), "dflt");
    EXPECT_EQ(Read("Quorvy", "Long", "", 5), "0123");
}

TEST_F(IniFileTest, MissingFileGivesTheDefaultWithoutTrailingBlanks) {
    EXPECT_EQ(Read("Quorvy", "MinX", "     -100 "), "     -100");
    EXPECT_FALSE(dir.Exists("t.ini"));
}

TEST_F(IniFileTest, WritingCreatesFileSectionAndKey) {
    ASSERT_TRUE(IniWrite(dir.File("t.ini"), "Quorvy", "MinX", " -100.000 "));
    ASSERT_TRUE(IniWrite(dir.File("t.ini"), "Quorvy", "MaxX", "100.000"));
    EXPECT_EQ(dir.Read("t.ini"), "[Quorvy]\r\nMinX=-100.000\r\nMaxX=100.000\r\n");
}

TEST_F(IniFileTest, WritingReplacesAKeyWhereItStandsAndKeepsTheRest) {
    dir.Write("t.ini", "; kept\r\n[Quorvy]\r\nminx=1\r\nUnknown=yes\r\n\r\n[Next]\r\nA=1\r\n");
    IniWrite(dir.File("t.ini"), "QUORVY", "MinX", "2");
    IniWrite(dir.File("t.ini"), "Quorvy", "New", "3");
    IniWrite(dir.File("t.ini"), "Third", "B", "4");
    EXPECT_EQ(dir.Read("t.ini"),
              "; kept\r\n[Quorvy]\r\nminx=2\r\nUnknown=yes\r\nNew=3\r\n\r\n[Next]\r\nA=1\r\n"
              "\r\n[Third]\r\nB=4\r\n");
}

// Line ends and a byte-order mark stay as the file has them; the mark starts no line.
TEST_F(IniFileTest, LineEndsAndByteOrderMarkStay) {
    const std::string bom = "\xef\xbb\xbf";
    const struct {
        std::string before;
        std::string after;
    } cases[] = {
        {"[Quorvy]\nA=1\n", "[Quorvy]\nA=1\nB=2\n"},
        {bom + "[Quorvy]\r\nA=1\r\n", bom + "[Quorvy]\r\nA=1\r\nB=2\r\n"},
        {bom + "A=0\n[Quorvy]\nA=1\n", bom + "A=0\n[Quorvy]\nA=1\nB=2\n"},
    };
    for (const auto& c : cases) {
        dir.Write("t.ini", c.before);
        IniWrite(dir.File("t.ini"), "Quorvy", "B", "2");
        EXPECT_EQ(dir.Read("t.ini"), c.after) << c.before;
        EXPECT_EQ(Read("Quorvy", "A"), "1") << c.before;
        const std::vector<IniKeyLine> lines = IniKeyLines(c.after, "quorvy");
        ASSERT_EQ(lines.size(), 2u) << c.before;
        EXPECT_EQ(lines[0].line, "A=1") << c.before;
    }
}

// The text held in memory (the web page's storage) follows the file's rules, byte for byte.
TEST_F(IniFileTest, TextInMemoryMatchesTheFile) {
    const std::string start = "; kept\n[quorvy]\nA = 'one'\n";
    dir.Write("t.ini", start);
    std::string text = start;
    const char* writes[][2] = {{"A", "two"}, {"B", " 3 "}, {"a", "4"}};
    for (const auto& w : writes) {
        IniWrite(dir.File("t.ini"), "Quorvy", w[0], w[1]);
        IniWriteText(&text, "Quorvy", w[0], w[1]);
        EXPECT_EQ(text, dir.Read("t.ini")) << w[0];
    }
    char buffer[8];
    EXPECT_EQ(IniReadText(&text, "QUORVY", "b", "x", buffer, sizeof buffer), 1u);
    EXPECT_STREQ(buffer, "3");
    IniReadText(nullptr, "Quorvy", "A", "none  ", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "none");
    std::string empty;
    IniWriteText(&empty, "Quorvy", "A", "1");
    EXPECT_EQ(empty, "[Quorvy]\r\nA=1\r\n");
}

TEST_F(IniFileTest, UnwritableFileReportsFailure) {
    EXPECT_FALSE(IniWrite(dir.File("missing-folder/t.ini"), "Quorvy", "A", "1"));
}

}  // namespace
