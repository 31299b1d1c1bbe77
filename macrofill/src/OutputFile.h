#pragma once
// The output file of a run, written as the list is produced: into a new
// file beside the target, which takes the target's place only when the
// whole run has succeeded. Until then the target stays as it was; a run
// that fails leaves neither a changed target nor the new file behind.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Corral/base/AtomicFile.h"
#include "PropertyListExpansion.h"

namespace macrofill {

class OutputFile final : public ExpansionOutput {
public:
    explicit OutputFile(const std::string& path) : file_(path), failed_(!file_.isOpen()) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // A write failed, or the new file could not be made: the run cannot
    // succeed, but goes on so that an invalid input is reported as such.
    bool failed() const { return failed_; }

    void write(std::span<const std::uint8_t> bytes) override;
    std::span<const std::uint8_t> written(std::uint64_t offset, std::size_t length) override;
    void restart() override;

    // Puts the new file in the target's place.
    bool commit();

private:
    base::AtomicFile file_;
    bool failed_;
    std::uint64_t size_ = 0;
    // The piece last read back.
    std::vector<std::uint8_t> copy_;
};

}  // namespace macrofill
