#pragma once
// The whole contents of a file, read without copying where the system
// allows it: a regular file is mapped into memory, anything else (a pipe,
// a terminal, standard input, a file whose size the system does not know)
// is read to its end.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Corral/base/BaseExport.h"

namespace base {

class BASE_EXPORT FileContents {
public:
    // The contents of the file at `path`, or nothing when it cannot be
    // opened or read (a directory, for example), with errno set.
    static std::optional<FileContents> ofPath(const std::string& path);
    // The contents `fd` delivers up to end of file, or nothing when reading
    // fails. `fd` stays open.
    static std::optional<FileContents> ofDescriptor(int fd);

    FileContents(FileContents&& other) noexcept;
    FileContents& operator=(FileContents&& other) noexcept;
    ~FileContents();

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    // Whether the bytes are a mapping of the file rather than a copy.
    bool isMapped() const { return mapped_; }
    // Gives the memory back early.
    void release();

private:
    FileContents() = default;

    std::span<const std::uint8_t> bytes_;
    std::vector<std::uint8_t> copy_;
    bool mapped_ = false;
};

}  // namespace base
