#include "cli/OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/MessageText.h"
#include "cli/Options.h"

namespace {

// The temporaries not yet moved into place, for the handlers of the signals that end the
// process: fixed buffers, read there with nothing but unlink. A slot is filled and emptied only
// while the signals are held.
constexpr int kTemporarySlots = 4;
constexpr size_t kTemporaryNameSize = 4096;
char gTemporaries[kTemporarySlots][kTemporaryNameSize];

bool Register(const char* name) {
    for (char* slot : gTemporaries) {
        if (slot[0] == '\0') {
            std::snprintf(slot, kTemporaryNameSize, "%s", name);
            return true;
        }
    }
    return false;
}

void Unregister(const std::string& name) {
    for (char* slot : gTemporaries) {
        if (name == slot) {
            slot[0] = '\0';
        }
    }
}

// The permissions a new file gets from the process's mask, as with fopen.
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// False with the reason when the user may not write the existing file at path; it is opened
// for writing without being changed, which asks the same question the export's own open does.
bool MayWrite(const std::string& path, std::string* error) {
    const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    close(fd);
    return true;
}

}  // namespace

std::string OutputName(const std::string& path) {
    return path == kStandardStream ? "standard output" : EscapedText(path);
}

void RemoveTemporaries() {
    for (char* slot : gTemporaries) {
        if (slot[0] != '\0') {
            unlink(slot);
            slot[0] = '\0';
        }
    }
}

SignalsHeld::SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGHUP);
    sigprocmask(SIG_BLOCK, &held, &previous_);
}

SignalsHeld::~SignalsHeld() {
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

OutputFile::~OutputFile() {
    Discard();
}

bool OutputFile::Open(const std::string& path, FILE* out, std::string* error) {
    path_ = path;
    if (path == kStandardStream) {
        stream_ = out;
        return true;
    }
    struct stat target;
    if (stat(path.c_str(), &target) != 0) {
        return OpenTemporary(NewFileMode(), error);
    }
    if (!S_ISREG(target.st_mode)) {
        return OpenInPlace(error);
    }
    if (!MayWrite(path, error)) {
        return false;
    }
    // A link to a file: the file is replaced, not the link.
    if (char* real = realpath(path.c_str(), nullptr)) {
        path_ = real;
        std::free(real);
    }
    return OpenTemporary(target.st_mode & 0777, error);
}

// A hidden name in the same folder, so that the final rename stays on one file system.
bool OutputFile::OpenTemporary(mode_t mode, std::string* error) {
    std::string name = FolderOf(path_) + "/." + BaseOf(path_) + ".XXXXXX";
    if (name.size() >= kTemporaryNameSize) {
        *error = std::strerror(ENAMETOOLONG);
        return false;
    }
    SignalsHeld held;
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    if (!Register(name.c_str())) {
        unlink(name.c_str());
        close(fd);
        *error = std::strerror(EMFILE);
        return false;
    }
    temporary_ = name;
    fchmod(fd, mode);
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        *error = std::strerror(errno);
        close(fd);
        Discard();
        return false;
    }
    owned_ = true;
    return true;
}

// A device or a pipe cannot be replaced by a renamed file: it is written as it is.
bool OutputFile::OpenInPlace(std::string* error) {
    stream_ = std::fopen(path_.c_str(), "wb");
    if (stream_ == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    owned_ = true;
    return true;
}

bool OutputFile::Close(std::string* error) {
    if (stream_ == nullptr) {
        return true;
    }
    errno = 0;
    const bool closed = owned_ ? std::fclose(stream_) == 0 : std::fflush(stream_) == 0;
    stream_ = nullptr;
    owned_ = false;
    if (!closed) {
        *error = std::strerror(errno != 0 ? errno : EIO);
    }
    return closed;
}

bool OutputFile::Commit(std::string* error) {
    if (!Close(error)) {
        Discard();
        return false;
    }
    if (temporary_.empty()) {
        return true;
    }
    SignalsHeld held;
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        *error = std::strerror(errno);
        Discard();
        return false;
    }
    Unregister(temporary_);
    temporary_.clear();
    return true;
}

void OutputFile::Discard() {
    if (owned_) {
        std::fclose(stream_);
    }
    stream_ = nullptr;
    owned_ = false;
    if (temporary_.empty()) {
        return;
    }
    SignalsHeld held;
    unlink(temporary_.c_str());
    Unregister(temporary_);
    temporary_.clear();
}

bool TableFile::Write(const char* data, uint32_t size) {
    FILE* stream = file_.stream();
    errno = 0;
    if (std::fwrite(data, 1, size, stream) == size && std::fflush(stream) == 0) {
        return true;
    }
    if (failure_.empty()) {
        failure_ = std::strerror(errno != 0 ? errno : EIO);
    }
    return false;
}

namespace {

// One file: its device and inode, with the name in its folder for a file not made yet.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;
    bool regular = false;  // or not made yet
};

FileIdentity IdentityOf(const std::string& path) {
    FileIdentity id;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        id = {st.st_dev, st.st_ino, "", S_ISREG(st.st_mode)};
    } else if (stat(FolderOf(path).c_str(), &st) == 0) {
        id = {st.st_dev, st.st_ino, BaseOf(path), true};
    } else {
        id = {0, 0, path, true};
    }
    return id;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    const FileIdentity x = IdentityOf(a);
    const FileIdentity y = IdentityOf(b);
    return x.regular && y.regular && x.device == y.device && x.inode == y.inode && x.name == y.name;
}
