#pragma once
// Whole-file reads, complete writes and atomic file replacement, and "~"
// expansion of paths.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Corral/base/BaseExport.h"

namespace base {

// Appends everything `fd` delivers up to end of file to `out`. False, with
// errno set, when a read fails.
BASE_EXPORT bool readToEnd(int fd, std::vector<std::uint8_t>& out);

// The whole contents of the file at `path`, or nothing when it cannot be
// opened or read (a directory, for example).
BASE_EXPORT std::optional<std::vector<std::uint8_t>> readFile(const std::string& path);

// Writes all of `bytes` to `fd`, resuming after short writes and signals.
// False, with errno set, when a write fails (a closed pipe, a full disk).
BASE_EXPORT bool writeAll(int fd, std::span<const std::uint8_t> bytes);

// Replaces the file at `path` whole: the bytes go to a new file in the same
// folder, which is flushed to disk and then renamed over `path`. A file that
// was there keeps its permissions; a new one gets the usual ones for the
// process's umask. On failure `path` is untouched and the new file removed.
BASE_EXPORT bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);
// The same for text.
inline bool writeFileAtomically(const std::string& path, std::string_view text) {
    return writeFileAtomically(
        path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// `path` with a leading "~" (alone or before "/") replaced by the home
// directory and "~name" by the home directory of user `name`; any other
// path, or one naming an unknown user, comes back unchanged.
BASE_EXPORT std::string expandTildeInPath(const std::string& path);

}  // namespace base
