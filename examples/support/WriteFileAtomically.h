#pragma once
// Writing an example's output file so that a reader never sees half of it:
// the text goes to a temporary file beside the target, which then replaces
// the target in one step.

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace examples {

// Returns false, leaving any old file as it was, when the text cannot be written.
inline bool writeFileAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ofstream::binary | std::ofstream::trunc);
        if (!(out << text) || !out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) std::filesystem::remove(temporary, error);
    return !error;
}

}  // namespace examples
