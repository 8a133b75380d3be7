#include "output/Export.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/Eval.h"
#include "app/NumberText.h"
#include "settings/Prefs.h"

namespace {

constexpr const char* kWriteFailedText = "Errore di scrittura: il file esportato e' incompleto!";
constexpr const char* kNotCreatedText = "Impossibile creare il file di esportazione!";
constexpr const char* kErrorTitle = "Errore!";

// Lines wait here and go to the stream in pieces of about this size.
constexpr size_t kBufferSize = 64 * 1024;

class LineBuffer {
  public:
    explicit LineBuffer(OutputStream& out) : out_(out) {}

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
    char data_[kBufferSize];
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
    if (length == 0) {
        const size_t room = static_cast<size_t>(end - at) - 8;  // a tab, N.D., a line feed
        length = static_cast<size_t>(std::snprintf(at, room, "%9.9f", value));
    }
    char* point = std::find(at, at + length, '.');
    if (point != at + length) {
        *point = decimalPoint;
    }
    return length;
}

}  // namespace

size_t FormatExportLine(char (&line)[kExportLineSize], double x, double y, bool undefined,
                        char decimalPoint) {
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

ExportResult ExportValues(OutputStream& out) {
    LineBuffer lines(out);
    const char decimalPoint = ChosenDecimalPoint();
    ExportResult result = ExportResult::Completed;
    WalkSamples([&](double x, double y, bool undefined) {
        char line[kExportLineSize];
        const size_t length = FormatExportLine(line, x, y, undefined, decimalPoint);
        if (!lines.Add(line, length)) {
            result = ExportResult::WriteFailed;
            return false;
        }
        if (UserAbort() != 0) {
            result = ExportResult::Aborted;
            return false;
        }
        return true;
    });
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
        ShowMyMessage(owner, kWriteFailedText, kErrorTitle, kMbOk);
    }
}

void ReportExportFileNotCreated(QWnd owner) {
    ShowMyMessage(owner, kNotCreatedText, kErrorTitle, kMbOk);
}
