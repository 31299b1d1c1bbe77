#include "OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace macrofill {

void OutputFile::write(std::span<const std::uint8_t> bytes) {
    if (failed_) return;
    if (!file_.write(bytes)) {
        failed_ = true;
        return;
    }
    size_ += bytes.size();
    // Every few megabytes the disk is asked to start writing what has come
    // so far, while the rest is being produced, so that the flush before
    // the rename waits for little more than the last piece. Only a request:
    // a failure here is left for that flush to report.
    constexpr std::uint64_t handOverEvery = std::uint64_t{4} << 20;
    if (size_ - handedToDisk_ >= handOverEvery) {
        ::sync_file_range(file_.descriptor(), static_cast<off_t>(handedToDisk_),
                          static_cast<off_t>(size_ - handedToDisk_), SYNC_FILE_RANGE_WRITE);
        handedToDisk_ = size_;
    }
}

std::span<const std::uint8_t> OutputFile::written(std::uint64_t offset, std::size_t length) {
    if (failed_ || offset > size_ || length > size_ - offset) return {};
    // Read back seldom (a writer keeps what it compares often), so read
    // rather than mapped, which would keep pages around the one read.
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
    size_ = 0;
    handedToDisk_ = 0;
    if (!failed_ && !file_.rewind()) failed_ = true;
}

bool OutputFile::commit() { return !failed_ && file_.commit(); }

}  // namespace macrofill
