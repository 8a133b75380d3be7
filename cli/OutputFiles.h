// The files quorvy-plot writes. A picture goes to a temporary name in the target folder and is
// moved into place only when complete, so a failed run never leaves a file that looks
// complete (a device or a pipe, which cannot be replaced, is written directly). The value table is
// written where it is named, as the program's export writes it, and keeps what was written when a
// write fails.
#pragma once

#include <cstdio>
#include <string>

#include "app/Common.h"

class PictureFile {
  public:
    PictureFile() = default;
    ~PictureFile();  // an uncommitted temporary is removed
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    // Creates the temporary beside path, or takes out for "-". False with the reason in error.
    bool Open(const std::string& path, FILE* out, std::string* error);
    FILE* stream() const { return stream_; }
    // Moves the complete picture into place. False with the reason in error; the temporary is
    // removed then.
    bool Commit(std::string* error);
    void Discard();

  private:
    bool OpenInPlace(std::string* error);

    std::string path_;
    std::string temporary_;  // empty for the standard output and a device
    FILE* stream_ = nullptr;
    bool inPlace_ = false;  // a device or a pipe, written directly
};

// The value table's stream: every piece the export hands over is written through at once, so
// that a failure is seen at the piece that failed.
class TableFile : public OutputStream {
  public:
    TableFile() = default;
    ~TableFile() override;
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    // Creates (or empties) the file, or takes out for "-". False with the reason in error.
    bool Open(const std::string& path, FILE* out, std::string* error);
    bool Write(const char* data, uint32_t size) override;
    // Closes the file; false with the reason in error when the last bytes could not be written.
    bool Close(std::string* error);
    // The reason of the first failed write.
    const std::string& failure() const { return failure_; }

  private:
    FILE* stream_ = nullptr;
    bool owned_ = false;
    std::string failure_;
};

// "standard output" for "-", else the path itself.
std::string OutputName(const std::string& path);
