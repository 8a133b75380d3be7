// The files quorvy-plot writes. A picture or a value table goes to an unnamed file in the target
// folder (a hidden temporary name where the file system has none) and is moved into place only
// when the run commits it, so that a run that fails or is killed leaves the old file as it was
// and no file that looks complete; the file moved into place keeps the permission bits, and
// where it may the owner and group, of the one it replaces. A device or a pipe, which cannot be
// replaced, is written directly; "-" is the standard output, and a name of an open stream
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N) is written through that stream as the shell opened it.
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

    // Creates the temporary beside path (beside the file a link leads to), or takes out for "-"
    // and a stream's name. An existing file that the user may not write, or not replace in its
    // folder, is refused as it is. False with the reason in error.
    bool Open(const std::string& path, FILE* out, std::string* error);
    FILE* stream() const { return stream_; }
    // Whether the output is written to a terminal.
    bool terminal() const;
    // Whether a failed output leaves the file named as it was (it replaces a file as a whole).
    bool replaces() const { return fd_ >= 0 || !temporary_.empty(); }
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
    bool OpenStream(int fd, FILE* out, std::string* error);
    bool OpenTemporary(const struct stat* old, std::string* error);
    int CreateTemporary(mode_t mode, std::string* error);
    bool LinkUnnamed(std::string* error);

    std::string path_;       // the file to replace, links followed
    std::string temporary_;  // the hidden name, when the file is not unnamed or once linked
    int fd_ = -1;            // the unnamed file, until it is linked into place
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
    // The reason of the first failed write, and its errno.
    const std::string& failure() const { return failure_; }
    int failureCode() const { return failureCode_; }

  private:
    OutputFile file_;
    std::string failure_;
    int failureCode_ = 0;
};

// True when the two names lead to one regular file, or to one name in one folder for a file
// not made yet (through "./", "..", or a link). A device may be named twice: nothing is lost.
bool SameFile(const std::string& a, const std::string& b);

// The descriptor an open standard stream's name stands for (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N, or a link to one), or -1 for any other name.
int StreamNamed(const std::string& path);

// True when path names an existing regular file that is the one open on descriptor fd.
bool SameFileAsDescriptor(const std::string& path, int fd);

// Removes the temporaries of the outputs not yet moved into place. Safe in a signal handler.
void RemoveTemporaries();

// The catchable signals whose default action ends the process.
void EndingSignals(sigset_t* set);

// Holds off the signals that end the program for its lifetime, so that a temporary is never
// made, moved or removed half way for their handlers.
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
