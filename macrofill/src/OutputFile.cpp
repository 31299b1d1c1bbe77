#include "OutputFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace macrofill {

OutputFile::~OutputFile() { unmap(); }

void OutputFile::unmap() {
    if (map_) ::munmap(const_cast<std::uint8_t*>(map_), mapped_);
    map_ = nullptr;
    mapped_ = 0;
}

void OutputFile::write(std::span<const std::uint8_t> bytes) {
    if (failed_) return;
    if (!file_.write(bytes)) {
        failed_ = true;
        return;
    }
    size_ += bytes.size();
}

std::span<const std::uint8_t> OutputFile::written(std::uint64_t offset, std::size_t length) {
    if (failed_ || offset > size_ || length > size_ - offset) return {};
    std::uint64_t end = offset + length;
    if (end > mapped_) {
        // The mapping grows ahead of the file, so that it is seldom made
        // again; only the part the file has reached is ever read.
        auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        std::uint64_t wanted =
            std::max<std::uint64_t>(end, 2 * static_cast<std::uint64_t>(mapped_));
        wanted = std::max<std::uint64_t>(wanted, std::uint64_t{1} << 24);
        wanted = (wanted + page - 1) / page * page;
        unmap();
        void* start = ::mmap(nullptr, static_cast<std::size_t>(wanted), PROT_READ, MAP_SHARED,
                             file_.descriptor(), 0);
        if (start != MAP_FAILED) {
            map_ = static_cast<const std::uint8_t*>(start);
            mapped_ = static_cast<std::size_t>(wanted);
        }
    }
    if (map_) {
        // Pages read back stay mapped, and counted as the process's memory,
        // until they are let go: every so often all are, and those still
        // wanted come back from the file cache when next read.
        if (++readsSinceRelease_ == readsPerRelease) {
            ::madvise(const_cast<std::uint8_t*>(map_), mapped_, MADV_DONTNEED);
            readsSinceRelease_ = 0;
        }
        return {map_ + offset, length};
    }
    copy_.resize(length);
    std::size_t got = 0;
    while (got < length) {
        ssize_t read = ::pread(file_.descriptor(), copy_.data() + got, length - got,
                               static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) return {};
        got += static_cast<std::size_t>(read);
    }
    return copy_;
}

void OutputFile::restart() {
    unmap();
    size_ = 0;
    if (!failed_ && !file_.rewind()) failed_ = true;
}

bool OutputFile::commit() {
    unmap();
    return !failed_ && file_.commit();
}

}  // namespace macrofill
