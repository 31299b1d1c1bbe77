#pragma once
// A new file written beside the file it is to replace, which takes that
// file's place only when it is complete.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "Corral/base/BaseExport.h"

namespace base {

class DiskFlush;
class WriteBehind;

// The bytes given are written on a thread of its own while the caller goes
// on, and a large file is brought to disk while it is being written, so that
// the commit waits for little more than its last piece.
class BASE_EXPORT AtomicFile {
public:
    // Creates an empty temporary file in the folder of `path`, under a name
    // no other file has. isOpen() says whether that worked (errno is set
    // when it did not).
    explicit AtomicFile(std::string path);
    // A file that was not committed is removed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // The temporary file, open for reading and writing. It holds the bytes
    // given once settle() has returned.
    int descriptor() const { return fd_; }
    const std::string& temporaryPath() const { return temporary_; }

    // Appends all of `bytes`. False, with errno set, once a write has
    // failed, which may have been a write of bytes given earlier.
    bool write(std::span<const std::uint8_t> bytes);
    // Waits until the file holds every byte given. False, with errno set,
    // when a write failed.
    bool settle();
    // Empties the temporary file, to write it again from the start.
    bool rewind();

    // Flushes the temporary file to disk and renames it over `path`, then
    // flushes the folder so that the rename survives a crash. A file that
    // was there keeps its permissions; a new one gets the usual ones for the
    // process's umask. On failure `path` is untouched and the temporary file
    // removed, except when only the final folder flush fails: then `path`
    // holds the new bytes, but false says they may not survive a crash.
    bool commit();

private:
    std::string path_, temporary_;
    int fd_ = -1;
    bool committed_ = false;
    std::unique_ptr<DiskFlush> flush_;
    std::unique_ptr<WriteBehind> writer_;
};

}  // namespace base
