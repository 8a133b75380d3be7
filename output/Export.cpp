#include "output/Export.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/Eval.h"
#include "engine/Passes.h"
#include "platform/NumberText.h"
#include "settings/Messages.h"
#include "settings/Prefs.h"

const char kExportFileName[] = "Export.XLS";

namespace {

// Lines wait here and go to the stream in pieces of about this size: a megabyte, as measured by
// bench_export, writes a table about as fast as one write of all of it (64 KB pieces cost a third
// more).
constexpr size_t kBufferSize = 1024 * 1024;
// Too large for the stack, and kept out of the heap so that the core needs no allocation that
// could fail: one export runs at a time.
char gExportBuffer[kBufferSize];

class LineBuffer {
  public:
    explicit LineBuffer(OutputStream& out) : out_(out) {}

    // Room at the end for a line of any length, or null when the buffer is too full for one:
    // the line then goes through Add, which writes out the buffer first when it would not fit.
    char* Room() { return used_ + kExportLineSize <= kBufferSize ? data_ + used_ : nullptr; }
    void Commit(size_t length) { used_ += length; }

    bool Add(const char* line, size_t length) {
        if (used_ + length > kBufferSize && !Flush()) {
            return false;
        }
        std::memcpy(data_ + used_, line, length);
        used_ += length;
        return true;
    }

    bool Flush() {
        const bool written = used_ == 0 || out_.Write(data_, static_cast<uint32_t>(used_));
        used_ = 0;
        return written;
    }

  private:
    OutputStream& out_;
    char* data_ = gExportBuffer;
    size_t used_ = 0;
};

// The decimal point to write: the chosen character, or "." when none was chosen.
char ChosenDecimalPoint() {
    return gPrefs.DecimalPoint[0] != '\0' ? gPrefs.DecimalPoint[0] : '.';
}

// One number as "%9.9f" with its point replaced; returns its length. end leaves room for the
// rest of the line.
size_t WriteNumber(char* at, const char* end, double value, char decimalPoint) {
    size_t length = FormatFixed9(at, value);
    if (length != 0) {
        at[length - 10] = decimalPoint;  // nine decimals follow the point
        return length;
    }
    const size_t room = static_cast<size_t>(end - at) - 8;  // a tab, N.D., a line feed
    length = static_cast<size_t>(std::snprintf(at, room, "%9.9f", value));
    char* point = std::find(at, at + length, '.');
    if (point != at + length) {
        *point = decimalPoint;
    }
    return length;
}

// One line into line, which has room for kExportLineSize characters; returns its length.
size_t WriteLine(char* line, double x, double y, bool undefined, char decimalPoint) {
    char* p = line;
    p += WriteNumber(p, line + kExportLineSize, x, decimalPoint);
    *p++ = '\t';
    if (undefined) {
        std::memcpy(p, "N.D.", 4);  // the marker keeps its points
        p += 4;
    } else {
        p += WriteNumber(p, line + kExportLineSize, y, decimalPoint);
    }
    *p++ = '\n';
    *p = '\0';
    return static_cast<size_t>(p - line);
}

}  // namespace

size_t FormatExportLine(char (&line)[kExportLineSize], double x, double y, bool undefined,
                        char decimalPoint) {
    return WriteLine(line, x, y, undefined, decimalPoint);
}

ExportResult ExportValues(OutputStream& out) {
    LineBuffer lines(out);
    const char decimalPoint = ChosenDecimalPoint();
    ExportResult result = ExportResult::Completed;
    BeginPass(PassKind::Export);
    WalkSamples([&](double x, double y, bool undefined) {
        // Formatted in place at the end of the buffer while a line of any length fits there.
        if (char* room = lines.Room()) {
            lines.Commit(WriteLine(room, x, y, undefined, decimalPoint));
        } else {
            char line[kExportLineSize];
            const size_t length = WriteLine(line, x, y, undefined, decimalPoint);
            if (!lines.Add(line, length)) {
                result = ExportResult::WriteFailed;
                return false;
            }
        }
        if (PassSampleDone() != 0) {
            result = ExportResult::Aborted;
            return false;
        }
        return true;
    });
    EndPass();
    if (!lines.Flush() && result != ExportResult::WriteFailed) {
        result = ExportResult::WriteFailed;
    }
    return result;
}

ExportResult RunExport(OutputStream& out) {
    const double start = ElapsedMilliseconds();
    const ExportResult result = ExportValues(out);
    if (result != ExportResult::WriteFailed) {
        g_ExportingTime = (ElapsedMilliseconds() - start) * 0.001;
    }
    return result;
}

void ReportExportResult(ExportResult result, QWnd owner) {
    if (result == ExportResult::WriteFailed) {
        ShowProgramMessage(owner, kMsgExportWriteFailed);
    }
}

void ReportExportFileNotCreated(QWnd owner) {
    ShowProgramMessage(owner, kMsgExportNotCreated);
}
