#include "Corral/base/FileContents.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "Corral/base/FileSystem.h"

namespace base {

std::optional<FileContents> FileContents::ofDescriptor(int fd) {
    FileContents contents;
    struct stat info {};
    // A regular file of known size, read from its start, is mapped and
    // left positioned at its end as reading it would. Its pages come in as
    // they are first read, ahead of the reader, so that a reader on another
    // thread takes that cost rather than the thread that maps the file. An
    // empty file, or one whose size is not known in advance (the system's
    // own files report none), is read like a pipe, and so is one already
    // partly read through this descriptor.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        ::lseek(fd, 0, SEEK_CUR) == 0) {
        auto size = static_cast<std::size_t>(info.st_size);
        void* start = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (start != MAP_FAILED) {
            ::madvise(start, size, MADV_SEQUENTIAL);
            contents.bytes_ = std::span(static_cast<const std::uint8_t*>(start), size);
            contents.mapped_ = true;
            ::lseek(fd, info.st_size, SEEK_SET);
            return contents;
        }
    }
    if (!readToEnd(fd, contents.copy_)) return std::nullopt;
    contents.bytes_ = contents.copy_;
    return contents;
}

std::optional<FileContents> FileContents::ofPath(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    auto contents = ofDescriptor(fd);
    int error = errno;
    ::close(fd);
    errno = error;
    return contents;
}

FileContents::FileContents(FileContents&& other) noexcept
    : bytes_(std::exchange(other.bytes_, {})),
      copy_(std::move(other.copy_)),
      mapped_(std::exchange(other.mapped_, false)) {
    if (!mapped_) bytes_ = copy_;
}

FileContents& FileContents::operator=(FileContents&& other) noexcept {
    if (this != &other) {
        release();
        bytes_ = std::exchange(other.bytes_, {});
        copy_ = std::move(other.copy_);
        mapped_ = std::exchange(other.mapped_, false);
        if (!mapped_) bytes_ = copy_;
    }
    return *this;
}

FileContents::~FileContents() { release(); }

void FileContents::release() {
    if (mapped_) ::munmap(const_cast<std::uint8_t*>(bytes_.data()), bytes_.size());
    mapped_ = false;
    bytes_ = {};
    std::vector<std::uint8_t>().swap(copy_);
}

}  // namespace base
