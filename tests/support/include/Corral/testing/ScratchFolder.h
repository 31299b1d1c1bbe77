#pragma once
// An empty folder of the test's own below the system's temporary folder,
// named after the process and the running test, and small helpers to fill
// it with files and read them back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

namespace testing_support {

inline std::filesystem::path freshScratchFolder(const std::string& prefix) {
    const auto folder = std::filesystem::temp_directory_path() /
                        (prefix + "-" + std::to_string(::getpid()) + "-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// Writes `text` to `path`, creating the folders on the way.
inline void writeTextFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ofstream::binary | std::ofstream::trunc) << text;
}

// Writes each (path below `root`, text) pair as a file.
inline void writeTextFiles(
    const std::filesystem::path& root,
    std::initializer_list<std::pair<std::string_view, std::string_view>> files) {
    for (const auto& [path, text] : files) writeTextFile(root / path, std::string(text));
}

// The whole file, or an empty string if it cannot be read.
inline std::string readTextFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ifstream::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace testing_support
