// The files quorvy-plot writes. A picture or a value table goes to a hidden temporary name in the
// target folder and is moved into place only when the run commits it, so that a run that fails
// or is killed leaves the old file as it was and no file that looks complete; the file moved
// into place keeps the permission bits of the one it replaces. A device or a pipe, which cannot
// be replaced, is written directly, and "-" is the standard output.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "platform/Common.h"

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();  // a temporary not moved into place is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary beside path, or takes out for "-". An existing file that the user
    // may not write is refused as it is. False with the reason in error.
    bool Open(const std::string& path, FILE* out, std::string* error);
    FILE* stream() const { return stream_; }
    // Writes out and closes the stream (the standard output is only flushed). False with the
    // reason in error.
    bool Close(std::string* error);
    // Moves the closed temporary into place. False with the reason in error; the temporary is
    // removed then.
    bool Commit(std::string* error);
    // Removes the temporary: the file named keeps what it held.
    void Discard();

  private:
    bool OpenInPlace(std::string* error);
    bool OpenTemporary(mode_t mode, std::string* error);

    std::string path_;       // the file to replace, links followed
    std::string temporary_;  // empty when written directly
    FILE* stream_ = nullptr;
    bool owned_ = false;  // stream_ is a file of our own, not the standard output
};

// The value table's stream: every piece the export hands over is written through at once, so
// that a failure is seen at the piece that failed.
class TableFile : public OutputStream {
  public:
    bool Open(const std::string& path, FILE* out, std::string* error) {
        return file_.Open(path, out, error);
    }
    bool Write(const char* data, uint32_t size) override;
    bool Close(std::string* error) { return file_.Close(error); }
    void Discard() { file_.Discard(); }
    OutputFile& file() { return file_; }
    // The reason of the first failed write.
    const std::string& failure() const { return failure_; }

  private:
    OutputFile file_;
    std::string failure_;
};

// True when the two names lead to one regular file, or to one name in one folder for a file
// not made yet (through "./", "..", or a link). A device may be named twice: nothing is lost.
bool SameFile(const std::string& a, const std::string& b);

// Removes the temporaries of the outputs not yet moved into place. Safe in a signal handler.
void RemoveTemporaries();

// Holds off Ctrl+C, SIGTERM and SIGHUP for its lifetime, so that a temporary is never made,
// moved or removed half way for their handlers.
class SignalsHeld {
  public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t previous_;
};

// "standard output" for "-", else the path as a message shows it (EscapedText).
std::string OutputName(const std::string& path);
