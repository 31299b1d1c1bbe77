#include "OutputFile.h"

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
}

std::span<const std::uint8_t> OutputFile::written(std::uint64_t offset, std::size_t length) {
    if (failed_ || offset > size_ || length > size_ - offset) return {};
    if (!file_.settle()) {
        failed_ = true;
        return {};
    }
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
    if (!failed_ && !file_.rewind()) failed_ = true;
}

bool OutputFile::commit() { return !failed_ && file_.commit(); }

}  // namespace macrofill
