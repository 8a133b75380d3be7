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

// As many links as the system follows in one name.
constexpr int kMaxLinkHops = 40;

// The name a symbolic link holds, read as from the link's folder; false when name is no link.
bool ReadLink(const std::string& name, std::string* next) {
    char target[kTemporaryNameSize];
    const ssize_t length = readlink(name.c_str(), target, sizeof target - 1);
    if (length <= 0) {
        return false;
    }
    target[length] = '\0';
    *next = target[0] == '/' ? std::string(target) : FolderOf(name) + "/" + target;
    return true;
}

// The file a chain of links ends at, made or not: the shell's ">" writes there.
std::string LinkTarget(const std::string& path) {
    std::string name = path;
    for (int hop = 0; hop < kMaxLinkHops && ReadLink(name, &name); ++hop) {
    }
    return name;
}

// The descriptor in a stream's own name, or -1.
int DescriptorOfName(const std::string& name) {
    constexpr const char* kStandard[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
    for (int fd = 0; fd < 3; ++fd) {
        if (name == kStandard[fd]) {
            return fd;
        }
    }
    const std::string folders[] = {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/",
                                   "/proc/" + std::to_string(getpid()) + "/fd/"};
    for (const std::string& folder : folders) {
        const std::string digits =
            name.substr(0, folder.size()) == folder ? name.substr(folder.size()) : std::string();
        if (!digits.empty() && digits.size() < 10 &&
            digits.find_first_not_of("0123456789") == std::string::npos) {
            return std::atoi(digits.c_str());
        }
    }
    return -1;
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

// A sticky folder (/tmp) lets only the owner of a file, or of the folder, replace it.
bool MayReplace(const std::string& path, const struct stat& target, std::string* error) {
    const std::string folder = FolderOf(path);
    struct stat st;
    const uid_t user = geteuid();
    if (stat(folder.c_str(), &st) != 0 || (st.st_mode & S_ISVTX) == 0 || user == 0 ||
        target.st_uid == user || st.st_uid == user) {
        return true;
    }
    *error = "its folder " + EscapedText(folder) +
             " is sticky: only the file's owner may replace the file";
    return false;
}

// The reason a file could not be made in folder: the folder's when it takes no new file.
std::string FolderFailure(const std::string& folder, int error) {
    if (error == EACCES || error == EPERM) {
        return "its folder " + EscapedText(folder) + " is not writable (" + std::strerror(error) +
               ")";
    }
    return std::strerror(error);
}

// The owner and group of the file replaced, where the user may give them; else the group
// alone; else the user's own, as for any new file.
void KeepOwner(int fd, const struct stat& old) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        return;
    }
}

// The hidden name of a temporary: short, so that any name the folder takes can be replaced.
constexpr const char* kTemporaryPattern = "/.qpXXXXXX";

}  // namespace

std::string OutputName(const std::string& path) {
    return path == kStandardStream ? "standard output" : EscapedText(path);
}

int StreamNamed(const std::string& path) {
    std::string name = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        const int fd = DescriptorOfName(name);
        if (fd >= 0 || !ReadLink(name, &name)) {
            return fd;
        }
    }
    return -1;
}

bool SameFileAsDescriptor(const std::string& path, int fd) {
    struct stat file;
    struct stat open;
    return stat(path.c_str(), &file) == 0 && fstat(fd, &open) == 0 && S_ISREG(file.st_mode) &&
           file.st_dev == open.st_dev && file.st_ino == open.st_ino;
}

void RemoveTemporaries() {
    for (char* slot : gTemporaries) {
        if (slot[0] != '\0') {
            unlink(slot);
            slot[0] = '\0';
        }
    }
}

void EndingSignals(sigset_t* set) {
    constexpr int kEnding[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGALRM, SIGUSR1,  SIGUSR2,
                               SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT};
    sigemptyset(set);
    for (const int signal : kEnding) {
        sigaddset(set, signal);
    }
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        sigaddset(set, signal);
    }
}

SignalsHeld::SignalsHeld() {
    sigset_t held;
    EndingSignals(&held);
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
    const int fd = StreamNamed(path);
    if (fd >= 0) {
        return OpenStream(fd, out, error);
    }
    path_ = LinkTarget(path);  // a link is followed to its file, made or not
    struct stat target;
    if (stat(path_.c_str(), &target) != 0) {
        if (errno == ENOENT) {
            return OpenTemporary(nullptr, error);
        }
        *error = std::strerror(errno);  // a loop of links, say: never replaced by a file
        return false;
    }
    if (!S_ISREG(target.st_mode)) {
        return OpenInPlace(error);
    }
    return MayWrite(path_, error) && MayReplace(path_, target, error) &&
           OpenTemporary(&target, error);
}

// The new file in the target's folder, so that the final rename stays on one file system; it
// takes the mode, and where it may the owner, of the file it replaces.
bool OutputFile::OpenTemporary(const struct stat* old, std::string* error) {
    const mode_t mode = old != nullptr ? old->st_mode & 0777 : NewFileMode();
    SignalsHeld held;
    const int fd = CreateTemporary(mode, error);
    if (fd < 0) {
        Discard();
        return false;
    }
    if (old != nullptr) {
        KeepOwner(fd, *old);
    }
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

// An unnamed file where the file system makes one, so that nothing is left behind whatever
// ends the process (fd_ keeps it for the link into place); else a hidden name, removed by the
// handlers of the signals. The descriptor to write, or -1 with the reason in error.
int OutputFile::CreateTemporary(mode_t mode, std::string* error) {
    const std::string folder = FolderOf(path_);
    // The unnamed file is linked into place through its name under /proc.
    const bool linkable = access("/proc/self/fd", X_OK) == 0;
    fd_ = linkable ? open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode) : -1;
    if (fd_ >= 0) {
        const int copy = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) {
            *error = std::strerror(errno);
        }
        return copy;
    }
    if (linkable && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        *error = FolderFailure(folder, errno);
        return -1;
    }
    std::string name = folder + kTemporaryPattern;
    if (name.size() >= kTemporaryNameSize) {
        *error = std::strerror(ENAMETOOLONG);
        return -1;
    }
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = FolderFailure(folder, errno);
        return -1;
    }
    if (!Register(name.c_str())) {
        *error = std::strerror(EMFILE);
        unlink(name.c_str());
        close(fd);
        return -1;
    }
    temporary_ = name;
    return fd;
}

// The unnamed file gets a hidden name in its folder, which the rename then moves into place.
bool OutputFile::LinkUnnamed(std::string* error) {
    char unnamed[64];
    std::snprintf(unnamed, sizeof unnamed, "/proc/self/fd/%d", fd_);
    const std::string folder = FolderOf(path_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char base[48];
        std::snprintf(base, sizeof base, "/.qp%ld.%d", static_cast<long>(getpid()), attempt);
        const std::string name = folder + base;
        if (linkat(AT_FDCWD, unnamed, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            Register(name.c_str());
            temporary_ = name;
            close(fd_);
            fd_ = -1;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    *error = FolderFailure(folder, errno);
    return false;
}

// A name of an open stream is written through it, where the shell put it (after what came
// before, or at the end of a file opened with >>): never replaced.
bool OutputFile::OpenStream(int fd, FILE* out, std::string* error) {
    if (out != nullptr && fileno(out) == fd) {
        stream_ = out;
        return true;
    }
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    stream_ = copy >= 0 ? fdopen(copy, "wb") : nullptr;
    if (stream_ == nullptr) {
        *error = std::strerror(errno);
        if (copy >= 0) {
            close(copy);
        }
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

bool OutputFile::terminal() const {
    return stream_ != nullptr && fileno(stream_) >= 0 && isatty(fileno(stream_)) != 0;
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
    if (!replaces()) {
        return true;
    }
    SignalsHeld held;
    if (fd_ >= 0 && !LinkUnnamed(error)) {
        Discard();
        return false;
    }
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
    if (fd_ >= 0) {
        close(fd_);  // an unnamed file goes with its last descriptor
        fd_ = -1;
    }
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
        failureCode_ = errno != 0 ? errno : EIO;
        failure_ = std::strerror(failureCode_);
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

// A link to a file not made yet stands for the name it holds.
FileIdentity IdentityOf(const std::string& path) {
    FileIdentity id;
    struct stat st;
    const std::string target = LinkTarget(path);
    if (stat(target.c_str(), &st) == 0) {
        id = {st.st_dev, st.st_ino, "", S_ISREG(st.st_mode)};
    } else if (stat(FolderOf(target).c_str(), &st) == 0) {
        id = {st.st_dev, st.st_ino, BaseOf(target), true};
    } else {
        id = {0, 0, target, true};
    }
    return id;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    const FileIdentity x = IdentityOf(a);
    const FileIdentity y = IdentityOf(b);
    return x.regular && y.regular && x.device == y.device && x.inode == y.inode && x.name == y.name;
}
