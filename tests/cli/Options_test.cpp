#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Options.h"

namespace {

struct Parsed {
    CommandLine result;
    CliOptions options;
    std::string error;
};

Parsed Parse(std::vector<std::string> words) {
    words.insert(words.begin(), "quorvy-plot");
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    Parsed parsed;
    parsed.result = ParseCommandLine(static_cast<int>(words.size()), argv.data(), &parsed.options,
                                     &parsed.error);
    return parsed;
}

std::string RefusedWith(const std::vector<std::string>& words) {
    const Parsed parsed = Parse(words);
    EXPECT_EQ(parsed.result, CommandLine::UsageError);
    return parsed.error;
}

TEST(Options, DefaultsAreTheDefaultWindowsAndTheIniFileDecides) {
    const Parsed p = Parse({"-o", "plot.png", "2SIN(X)*X"});
    ASSERT_EQ(p.result, CommandLine::Run) << p.error;
    EXPECT_EQ(*p.options.formula, "2SIN(X)*X");
    EXPECT_EQ(p.options.picturePath, "plot.png");
    EXPECT_EQ(p.options.pictureFormat, PictureFormat::Png);
    EXPECT_EQ(p.options.width, 382);
    EXPECT_EQ(p.options.height, 354);
    EXPECT_TRUE(p.options.exportPath.empty());
    EXPECT_FALSE(p.options.info);
    EXPECT_FALSE(p.options.minX || p.options.maxX || p.options.iterations ||
                 p.options.decimalPoint || p.options.autoScaleX || p.options.autoScaleY ||
                 p.options.dontDraw);
    EXPECT_FALSE(p.options.traceParse || p.options.traceEval);
}

TEST(Options, EverySettingIsRead) {
    const Parsed p = Parse({"--min", "-2.5", "--max=1e3", "-n", "25", "-d", ",", "--no-autoscale-x",
                            "--no-autoscale-y", "--dont-draw", "-s", "640x480", "-e", "-", "--ini",
                            "my.ini", "--trace-parse", "--trace-eval", "x"});
    ASSERT_EQ(p.result, CommandLine::Run) << p.error;
    EXPECT_EQ(*p.options.minX, -2.5);
    EXPECT_EQ(*p.options.maxX, 1000.0);
    EXPECT_EQ(*p.options.iterations, 25);
    EXPECT_EQ(*p.options.decimalPoint, ",");
    EXPECT_FALSE(*p.options.autoScaleX);
    EXPECT_FALSE(*p.options.autoScaleY);
    EXPECT_TRUE(*p.options.dontDraw);
    EXPECT_EQ(p.options.width, 640);
    EXPECT_EQ(p.options.height, 480);
    EXPECT_EQ(p.options.exportPath, "-");
    EXPECT_EQ(p.options.iniPath, "my.ini");
    EXPECT_TRUE(p.options.traceParse && p.options.traceEval);
    EXPECT_EQ(*p.options.formula, "x");
}

TEST(Options, TheLastOfTwoSwitchesWins) {
    const Parsed p =
        Parse({"--dont-draw", "--draw", "--no-autoscale-x", "--autoscale-x", "-i", "X"});
    ASSERT_EQ(p.result, CommandLine::Run) << p.error;
    EXPECT_FALSE(*p.options.dontDraw);
    EXPECT_TRUE(*p.options.autoScaleX);
    EXPECT_FALSE(p.options.autoScaleY.has_value());
}

TEST(Options, PictureFormatByExtension) {
    EXPECT_EQ(PictureFormatOf("a.PNG"), PictureFormat::Png);
    EXPECT_EQ(PictureFormatOf("dir.v2/a.svg"), PictureFormat::Svg);
    EXPECT_EQ(PictureFormatOf("a.Pdf"), PictureFormat::Pdf);
    EXPECT_EQ(PictureFormatOf("-"), PictureFormat::Png);
    EXPECT_FALSE(PictureFormatOf("a.jpg"));
    EXPECT_FALSE(PictureFormatOf("dir.png/plot"));
    EXPECT_FALSE(PictureFormatOf("plot"));
    EXPECT_EQ(Parse({"-o", "x.pdf", "X"}).options.pictureFormat, PictureFormat::Pdf);
    EXPECT_EQ(RefusedWith({"-o", "x.gif", "X"}),
              "--output: 'x.gif' does not end in .png, .svg or .pdf");
}

TEST(Options, HelpAndVersion) {
    EXPECT_EQ(Parse({"--help"}).result, CommandLine::Help);
    EXPECT_EQ(Parse({"-o", "a.png", "-h", "X"}).result, CommandLine::Help);
    EXPECT_EQ(Parse({"--version"}).result, CommandLine::Version);
    EXPECT_EQ(std::string(UsageText()).rfind("Usage: quorvy-plot [OPTION]... FORMULA\n", 0), 0u);
    EXPECT_EQ(VersionText().rfind("quorvy-plot (Quorvy) 1.0.0.1\n", 0), 0u);
}

TEST(Options, UnknownOptionsAndMissingArguments) {
    EXPECT_EQ(RefusedWith({"--colour", "X"}), "unknown option '--colour'");
    EXPECT_EQ(RefusedWith({"--colour=red", "X"}), "unknown option '--colour'");
    const std::string hint =
        " (a FORMULA that starts with '-' goes after \"--\", as in: quorvy-plot -i -- '-X+1')";
    EXPECT_EQ(RefusedWith({"-q", "X"}), "unknown option '-q'" + hint);
    EXPECT_EQ(RefusedWith({"-iq", "X"}), "unknown option '-q'" + hint);
    EXPECT_EQ(RefusedWith({"-i", "-o"}), "option '-o' requires an argument");
    EXPECT_EQ(RefusedWith({"-i", "--min"}), "option '--min' requires an argument");
    // a formula with a leading minus reads as options unless it follows "--"
    EXPECT_EQ(RefusedWith({"-i", "-X+1"}), "unknown option '-X'" + hint);
    EXPECT_EQ(RefusedWith({"--info", "-X+1"}), "unknown option '-X'" + hint);
    // an abbreviation of several long options, and a switch given an argument
    EXPECT_EQ(RefusedWith({"--auto", "X"}),
              "option '--auto' is ambiguous; possibilities: '--autoscale-x' '--autoscale-y'");
    EXPECT_EQ(RefusedWith({"--info=3", "X"}), "option '--info' takes no argument");
    EXPECT_EQ(RefusedWith({"--inf=3", "X"}), "option '--info' takes no argument");
    EXPECT_EQ(RefusedWith({"--min=1", "--colour=red", "X"}), "unknown option '--colour'");
    EXPECT_EQ(RefusedWith({"--min=1", "-iQ", "X"}), "unknown option '-Q'" + hint);
    const Parsed p = Parse({"-i", "--", "-X+1"});
    ASSERT_EQ(p.result, CommandLine::Run) << p.error;
    EXPECT_EQ(*p.options.formula, "-X+1");
}

TEST(Options, NumbersThatDoNotRead) {
    EXPECT_EQ(RefusedWith({"-i", "--min", "abc", "X"}), "--min: 'abc' is not a number");
    EXPECT_EQ(RefusedWith({"-i", "--max", "10x", "X"}), "--max: '10x' is not a number");
    EXPECT_EQ(RefusedWith({"-i", "--max", "", "X"}), "--max: '' is not a number");
    EXPECT_EQ(RefusedWith({"-i", "-n", "12.7", "X"}), "--iterations: '12.7' is not a whole number");
    for (const char* count : {"3000000000", "-2147483649", "99999999999999999999"}) {
        EXPECT_EQ(RefusedWith({"-i", "-n", count, "X"}),
                  std::string("--iterations: '") + count +
                      "' is out of range: the count goes from 1 to 2147483647");
    }
    EXPECT_EQ(RefusedWith({"-i", "--min", "nan", "X"}), "--min: 'nan' is not a number");
    for (const char* mark : {"5", "-", "+", " ", "\t", "\n", "e"}) {
        EXPECT_NE(RefusedWith({"-i", "-d", mark, "X"}).find("cannot separate decimals"),
                  std::string::npos)
            << mark;
    }
    for (const char* name : {"-o", "-e", "--ini", "-f"}) {
        EXPECT_NE(RefusedWith({"-i", name, "", "X"}).find(": the file name is empty"),
                  std::string::npos)
            << name;
    }
    const std::string marks = "; give one of !\"#$%&'()*,./:;<=>?@[\\]^_`{|}~";
    for (const auto& c :
         {std::pair<const char*, const char*>{",;", "',;' is not one ASCII character"},
          {"\xe2\x82\xac", "'\xe2\x82\xac' is not one ASCII character"},
          {"", "the mark is empty"}}) {
        EXPECT_EQ(RefusedWith({"-i", "-d", c.first, "X"}),
                  std::string("--decimal-point: ") + c.second + marks);
    }
    for (const char* size : {"382", "0x354", "382x0", "x354", "382x", "-5x5", "9000x10", "3x4x5"}) {
        EXPECT_EQ(RefusedWith({"-i", "-s", size, "X"}),
                  std::string("--size: '") + size + "' is not WxH with sides from 1 to 8192");
    }
    // values the settings dialog refuses are read here and refused by its checks later
    const Parsed p = Parse({"-i", "-n", "-5", "--min", "inf", "X"});
    ASSERT_EQ(p.result, CommandLine::Run) << p.error;
    EXPECT_EQ(*p.options.iterations, -5);
    EXPECT_EQ(Parse({"-i", "-s", "1X8192", "X"}).options.height, 8192);
    // blanks around a number read alike at both ends and for every number
    const Parsed blanks = Parse({"-i", "--min", " 5", "--max", "6 ", "-n", " 7 ", "X"});
    ASSERT_EQ(blanks.result, CommandLine::Run) << blanks.error;
    EXPECT_EQ(*blanks.options.maxX, 6.0);
    EXPECT_EQ(*blanks.options.iterations, 7);
}

TEST(Options, OneFormulaOfAtMost255Characters) {
    EXPECT_EQ(RefusedWith({"-i"}),
              "missing FORMULA (or --formula-file FILE, or --ini FILE to take it from)");
    EXPECT_EQ(Parse({"-i", "-f", "-"}).options.formulaFile, "-");
    EXPECT_EQ(RefusedWith({"-i", "-f", "f", "X"}), "FORMULA and --formula-file: give one of them");
    EXPECT_EQ(Parse({"-i", "--ini", "q.ini"}).result, CommandLine::Run);
    EXPECT_FALSE(Parse({"-i", "--ini", "q.ini"}).options.formula.has_value());
    EXPECT_EQ(RefusedWith({"-i", "X", "Y"}), "one FORMULA only; 'Y' is one too many");
    EXPECT_EQ(Parse({"-i", std::string(255, 'X')}).result, CommandLine::Run);
    EXPECT_EQ(RefusedWith({"-i", std::string(300, 'X')}),
              "FORMULA has 300 characters; the formula dialog takes at most 255");
    EXPECT_EQ(*Parse({"-i", ""}).options.formula, "");
}

TEST(Options, SomethingToWriteAndOneUseOfStandardOutput) {
    EXPECT_EQ(RefusedWith({"X"}), "nothing to write: give --output, --export or --info");
    const std::string twice = "standard output takes one of --output -, --export - and --info";
    EXPECT_EQ(RefusedWith({"-o", "-", "-e", "-", "X"}), twice);
    EXPECT_EQ(RefusedWith({"-o", "-", "-i", "X"}), twice);
    EXPECT_EQ(RefusedWith({"-e", "-", "-i", "X"}), twice);
    EXPECT_EQ(Parse({"-o", "-", "-e", "t.xls", "X"}).result, CommandLine::Run);
}

TEST(Options, ASecondParseStartsAfresh) {
    EXPECT_EQ(Parse({"--no-autoscale-y", "-i", "X"}).result, CommandLine::Run);
    const Parsed p = Parse({"-i", "X"});
    EXPECT_FALSE(p.options.autoScaleY.has_value());
}

}  // namespace
