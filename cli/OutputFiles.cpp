#include "cli/OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/Options.h"

namespace {

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

}  // namespace

std::string OutputName(const std::string& path) {
    return path == kStandardStream ? "standard output" : path;
}

PictureFile::~PictureFile() {
    Discard();
}

bool PictureFile::Open(const std::string& path, FILE* out, std::string* error) {
    path_ = path;
    if (path == kStandardStream) {
        stream_ = out;
        return true;
    }
    struct stat target;
    if (stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        return OpenInPlace(error);
    }
    // A link to a file: the file is replaced, not the link.
    if (char* real = realpath(path.c_str(), nullptr)) {
        path_ = real;
        std::free(real);
    }
    // A hidden name in the same folder, so that the final rename stays on one file system.
    std::string name = FolderOf(path_) + "/." + BaseOf(path_) + ".XXXXXX";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    temporary_ = buffer.data();
    fchmod(fd, NewFileMode());
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        *error = std::strerror(errno);
        close(fd);
        Discard();
        return false;
    }
    return true;
}

// A device or a pipe cannot be replaced by a renamed file: it is written as it is.
bool PictureFile::OpenInPlace(std::string* error) {
    stream_ = std::fopen(path_.c_str(), "wb");
    if (stream_ == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    inPlace_ = true;
    return true;
}

bool PictureFile::Commit(std::string* error) {
    if (inPlace_) {
        const bool closed = std::fclose(stream_) == 0;
        stream_ = nullptr;
        inPlace_ = false;
        if (!closed) {
            *error = std::strerror(errno);
        }
        return closed;
    }
    if (temporary_.empty()) {
        stream_ = nullptr;
        return true;  // the standard output was flushed by the writer
    }
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        *error = std::strerror(errno);
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void PictureFile::Discard() {
    if (inPlace_) {
        std::fclose(stream_);
        stream_ = nullptr;
        inPlace_ = false;
    }
    if (temporary_.empty()) {
        return;
    }
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    unlink(temporary_.c_str());
    temporary_.clear();
}

TableFile::~TableFile() {
    std::string ignored;
    Close(&ignored);
}

bool TableFile::Open(const std::string& path, FILE* out, std::string* error) {
    if (path == kStandardStream) {
        stream_ = out;
        return true;
    }
    stream_ = std::fopen(path.c_str(), "wb");
    if (stream_ == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    owned_ = true;
    return true;
}

bool TableFile::Write(const char* data, uint32_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, stream_) == size && std::fflush(stream_) == 0) {
        return true;
    }
    if (failure_.empty()) {
        failure_ = std::strerror(errno != 0 ? errno : EIO);
    }
    return false;
}

bool TableFile::Close(std::string* error) {
    if (stream_ == nullptr) {
        return true;
    }
    errno = 0;
    const bool closed = owned_ ? std::fclose(stream_) == 0 : std::fflush(stream_) == 0;
    stream_ = nullptr;
    if (!closed) {
        *error = std::strerror(errno != 0 ? errno : EIO);
    }
    return closed;
}
