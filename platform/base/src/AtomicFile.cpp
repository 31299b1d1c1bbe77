#include "Corral/base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "Corral/base/FileSystem.h"
#include "DiskFlush.h"
#include "WriteBehind.h"

namespace base {

namespace {

// The folder that holds `path` ("." for a bare name).
std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Flushes a folder's entries to disk, so that a rename in it survives a
// crash. File systems that cannot sync a folder count as done.
bool syncFolder(const std::string& folder) {
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    bool synced = ::fsync(dir) == 0 || errno == EINVAL || errno == EROFS;
    return ::close(dir) == 0 && synced;
}

// Creates a new, empty file beside `path` with a name no other file has.
int createSibling(const std::string& path, std::string& name) {
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "." + base + "." + std::to_string(random() % 1000000000) + ".tmp";
        int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    if (path_.empty()) {
        errno = ENOENT;
        return;
    }
    fd_ = createSibling(path_, temporary_);
    if (fd_ < 0) return;
    flush_ = std::make_unique<DiskFlush>(fd_);
    writer_ = std::make_unique<WriteBehind>(fd_, *flush_);
}

AtomicFile::~AtomicFile() {
    // Their threads end before the descriptor they use is closed.
    writer_.reset();
    flush_.reset();
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) {
        int error = errno;
        ::unlink(temporary_.c_str());
        errno = error;
    }
}

bool AtomicFile::write(std::span<const std::uint8_t> bytes) {
    return fd_ >= 0 && writer_->write(bytes);
}

bool AtomicFile::settle() { return fd_ >= 0 && writer_->settle(); }

bool AtomicFile::rewind() {
    if (fd_ < 0 || !writer_->restart()) return false;
    flush_->restart();
    return ::ftruncate(fd_, 0) == 0 && ::lseek(fd_, 0, SEEK_SET) == 0;
}

bool AtomicFile::commit() {
    if (fd_ < 0 || committed_) return false;
    struct stat existing {};
    // Both threads have ended when these return, whatever they say. A
    // flush along the way that failed may be the only one to say so.
    bool settled = writer_->settle();
    bool written = flush_->finish() && settled &&
                   (::stat(path_.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode) ||
                    ::fchmod(fd_, existing.st_mode & 07777) == 0) &&
                   ::fsync(fd_) == 0;
    int fd = fd_;
    fd_ = -1;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary_.c_str(), path_.c_str()) != 0) return false;
    committed_ = true;
    // The new name is only durable once the folder's entries are.
    return syncFolder(folderOf(path_));
}

}  // namespace base
