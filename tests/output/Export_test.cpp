#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "output/Export.h"
#include "support/PlotFixture.h"

namespace {

// Keeps what is written; can be told to fail from a given write on.
class MemoryOutput : public OutputStream {
  public:
    std::string bytes;
    int writes = 0;
    int failFromWrite = 0;  // 0: never
    bool Write(const char* data, uint32_t size) override {
        ++writes;
        if (failFromWrite > 0 && writes >= failFromWrite) {
            bytes.append(data, size / 2);  // a short write, as on a full disk
            return false;
        }
        bytes.append(data, size);
        return true;
    }
};

using ExportTest = PlotTest;

std::string Line(const char* format, double x, double y = 0) {
    char buffer[800];
    std::snprintf(buffer, sizeof buffer, format, x, y);
    return buffer;
}

TEST_F(ExportTest, LineFormats) {
    char line[kExportLineSize];
    const struct {
        double x;
        double y;
        bool undefined;
        char point;
        const char* expected;
    } cases[] = {
        {-100, 0.5, false, '.', "-100.000000000\t0.500000000\n"},
        {-100, 0.5, false, ',', "-100,000000000\t0,500000000\n"},
        {-1, 0, true, ',', "-1,000000000\tN.D.\n"},
        {0.5, -2.25, false, ';', "0;500000000\t-2;250000000\n"},
    };
    for (const auto& c : cases) {
        const size_t length = FormatExportLine(line, c.x, c.y, c.undefined, c.point);
        EXPECT_EQ(std::string(line, length), c.expected);
    }
    const size_t longest = FormatExportLine(line, -1.7e308, -1.7e308, false, '.');
    EXPECT_EQ(std::string(line, longest), Line("%9.9f\t%9.9f\n", -1.7e308, -1.7e308));
    EXPECT_GT(longest, 600u);
}

TEST_F(ExportTest, DefaultsGiveTenThousandAndOneLines) {
    MemoryOutput out;
    EXPECT_EQ(ExportValues(out), ExportResult::Completed);
    size_t lines = 0;
    for (char c : out.bytes) {
        lines += c == '\n' ? 1 : 0;
    }
    EXPECT_EQ(lines, 10001u);
    EXPECT_EQ(out.bytes.substr(0, 27), "-100.000000000\t0.000000000\n");
    const size_t lastStart = out.bytes.rfind('\n', out.bytes.size() - 2) + 1;
    EXPECT_EQ(out.bytes.substr(lastStart), "100.000000000\t0.000000000\n");
    EXPECT_EQ(out.bytes.find('\r'), std::string::npos);
    EXPECT_LT(out.writes, 10);  // written in large pieces
}

TEST_F(ExportTest, UndefinedSamplesAndDecimalComma) {
    MessageCapture quiet;
    ParseFormula("LOG(X)");
    SetRange(-1, 2, 3);
    gPrefs.DecimalPoint[0] = ',';
    MemoryOutput out;
    ExportValues(out);
    EXPECT_EQ(out.bytes,
              "-1,000000000\tN.D.\n"
              "0,000000000\tN.D.\n" +
                  Line("%9.9f\t%9.9f\n", 1.0, 0.0).replace(1, 1, ",").replace(13, 1, ","));
}

TEST_F(ExportTest, InfiniteAndNotANumberResultsAreUndefined) {
    ParseFormula("1/X");
    SetRange(0, 2, 2);
    MemoryOutput out;
    ExportValues(out);
    EXPECT_EQ(out.bytes, "0.000000000\tN.D.\n1.000000000\t1.000000000\n");
    ParseFormula("0/X");
    SetRange(0, 1, 1);
    MemoryOutput nan;
    ExportValues(nan);
    EXPECT_EQ(nan.bytes, "0.000000000\tN.D.\n");
}

TEST_F(ExportTest, EmptyDecimalPointWritesAPoint) {
    ParseFormula("X");
    SetRange(0, 1, 1);
    gPrefs.DecimalPoint[0] = '\0';
    MemoryOutput out;
    ExportValues(out);
    EXPECT_EQ(out.bytes, "0.000000000\t0.000000000\n");
    EXPECT_EQ(out.bytes.find('\0'), std::string::npos);
}

TEST_F(ExportTest, EmptyRangeWritesNothing) {
    SetRange(5, 5, 10);
    MemoryOutput out;
    EXPECT_EQ(ExportValues(out), ExportResult::Completed);
    EXPECT_EQ(out.bytes, "");
}

TEST_F(ExportTest, OnlyAFailedWriteIsReported) {
    MessageCapture capture;
    ReportExportResult(ExportResult::Completed, nullptr);
    ReportExportResult(ExportResult::Aborted, nullptr);
    EXPECT_TRUE(capture.messages().empty());
    ReportExportFileNotCreated(nullptr);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0].text, "Impossibile creare il file di esportazione!");
    EXPECT_EQ(capture.messages()[0].title, "Errore!");
}

TEST_F(ExportTest, KeyStopsAfterTheCurrentLineAndKeepsEveryLine) {
    ParseFormula("X");
    SetRange(0, 10, 10);
    abortAfter = 3;
    MemoryOutput out;
    g_ExportingTime = -1;
    EXPECT_EQ(RunExport(out), ExportResult::Aborted);
    EXPECT_EQ(out.bytes,
              "0.000000000\t0.000000000\n1.000000000\t1.000000000\n2.000000000\t2.000000000\n");
    EXPECT_GE(g_ExportingTime, 0.0);
}

TEST_F(ExportTest, FailedWriteIsReportedAndLeavesTheTime) {
    MessageCapture capture;
    ParseFormula("X");
    MemoryOutput out;
    out.failFromWrite = 1;
    g_ExportingTime = 7.5;
    const ExportResult result = RunExport(out);
    EXPECT_EQ(result, ExportResult::WriteFailed);
    EXPECT_TRUE(capture.messages().empty());
    ReportExportResult(result, nullptr);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0].text, "Errore di scrittura: il file esportato e' incompleto!");
    EXPECT_EQ(capture.messages()[0].title, "Errore!");
    EXPECT_EQ(g_ExportingTime, 7.5);
    EXPECT_FALSE(out.bytes.empty());  // what could be written stays
}

TEST_F(ExportTest, FinishedExportSetsTheTime) {
    ParseFormula("X");
    SetRange(0, 1, 10);
    MemoryOutput out;
    g_ExportingTime = -1;
    EXPECT_EQ(RunExport(out), ExportResult::Completed);
    EXPECT_GE(g_ExportingTime, 0.0);
    EXPECT_LT(g_ExportingTime, 5.0);
}

}  // namespace
