#pragma once
// An empty folder of the test's own below the system's temporary folder,
// named after the process and the running test.
#include <gtest/gtest.h>
#include <unistd.h>
#include <filesystem>
#include <string>

namespace studio {

inline std::filesystem::path freshScratchFolder(const std::string& prefix) {
    const auto folder = std::filesystem::temp_directory_path() /
                        (prefix + "-" + std::to_string(::getpid()) + "-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace studio
