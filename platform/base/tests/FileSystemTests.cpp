#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include "Corral/base/FileSystem.h"

using namespace base;

namespace {

class FileSystemTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "fs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        DIR* dir = opendir(folder_.c_str());
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
        return names;
    }

    static std::span<const std::uint8_t> bytes(std::string_view text) {
        return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
    }

    std::string folder_;
};

}  // namespace

TEST_F(FileSystemTest, AtomicWriteReplacesTheFileWholeAndKeepsItsPermissions) {
    std::string target = path("out.plist");
    ASSERT_TRUE(writeFileAtomically(target, bytes("first version, longer")));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_TRUE(writeFileAtomically(target, bytes("second")));
    auto read = readFile(target);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(read->begin(), read->end()), "second");
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(), std::vector<std::string>{"out.plist"});
}

TEST_F(FileSystemTest, FailedAtomicWriteLeavesNothingBehind) {
    // The target is a folder: the rename fails after the data was written.
    ASSERT_EQ(mkdir(path("folder").c_str(), 0755), 0);
    EXPECT_FALSE(writeFileAtomically(path("folder"), bytes("data")));
    EXPECT_EQ(entries(), std::vector<std::string>{"folder"});
    EXPECT_FALSE(writeFileAtomically(path("missing/out"), bytes("data")));
    EXPECT_FALSE(writeFileAtomically("", bytes("data")));
    EXPECT_EQ(entries(), std::vector<std::string>{"folder"});
}

TEST_F(FileSystemTest, ReadsWholeFilesAndRefusesFolders) {
    std::string big(300000, 'x');
    std::ofstream(path("big")) << big;
    auto read = readFile(path("big"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), big.size());
    EXPECT_FALSE(readFile(folder_));
    EXPECT_FALSE(readFile(path("absent")));
}

TEST_F(FileSystemTest, WritingToAClosedPipeFails) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    auto previous = std::signal(SIGPIPE, SIG_IGN);
    EXPECT_FALSE(writeAll(fds[1], bytes("lost")));
    EXPECT_EQ(errno, EPIPE);
    std::signal(SIGPIPE, previous);
    close(fds[1]);
}

TEST(TildeExpansion, ExpandsOnlyALeadingTilde) {
    const char* saved = std::getenv("HOME");
    std::string previous = saved ? saved : "";
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(expandTildeInPath("~"), "/home/someone");
    EXPECT_EQ(expandTildeInPath("~/settings.plist"), "/home/someone/settings.plist");
    EXPECT_EQ(expandTildeInPath("a/~/b"), "a/~/b");
    EXPECT_EQ(expandTildeInPath("~no-such-user-here/x"), "~no-such-user-here/x");
    EXPECT_EQ(expandTildeInPath("~root/x"), "/root/x");
    if (saved)
        setenv("HOME", previous.c_str(), 1);
    else
        unsetenv("HOME");
}
