#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "Corral/base/FileSystem.h"

using namespace base;

// This program stands in for two system calls the library makes, to see
// what it does with each, and to make a descriptor that takes nothing.
namespace {

std::atomic<int> descriptorThatTakesNothing{-1};

struct FolderSync {
    std::string folder;
    std::string watchedContents;  // of the watched file, at that moment
};
std::mutex syncMutex;
std::string watchedFile;
std::vector<FolderSync> folderSyncs;

template <class Function>
Function* real(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) ssize_t write(int fd, const void* data,
                                                                size_t size) {
    static auto* next = real<ssize_t(int, const void*, size_t)>("write");
    if (fd == descriptorThatTakesNothing && size > 0) return 0;
    return next(fd, data, size);
}

extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
    static auto* next = real<int(int)>("fsync");
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        char folder[4096] = {};
        auto length =
            ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), folder, sizeof folder - 1);
        std::lock_guard lock(syncMutex);
        if (!watchedFile.empty()) {
            std::ifstream in(watchedFile);
            folderSyncs.push_back({std::string(folder, length > 0 ? std::size_t(length) : 0),
                                   std::string(std::istreambuf_iterator<char>(in), {})});
        }
    }
    return next(fd);
}

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

TEST_F(FileSystemTest, AtomicWriteFlushesTheFolderAfterTheRename) {
    std::string target = path("out.plist");
    char resolved[4096];
    ASSERT_NE(realpath(folder_.c_str(), resolved), nullptr);
    {
        std::lock_guard lock(syncMutex);
        watchedFile = target;
        folderSyncs.clear();
    }
    bool written = writeFileAtomically(target, bytes("durable"));
    std::lock_guard lock(syncMutex);
    watchedFile.clear();
    ASSERT_TRUE(written);
    ASSERT_EQ(folderSyncs.size(), 1u);
    EXPECT_EQ(folderSyncs[0].folder, resolved);
    EXPECT_EQ(folderSyncs[0].watchedContents, "durable");  // the new name was in place
}

TEST_F(FileSystemTest, ADescriptorThatTakesNothingIsAFailureNotAnEndlessLoop) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    descriptorThatTakesNothing = fds[1];
    errno = 0;
    bool wrote = writeAll(fds[1], bytes("never taken"));
    int error = errno;
    descriptorThatTakesNothing = -1;
    EXPECT_FALSE(wrote);
    EXPECT_EQ(error, EIO);
    EXPECT_TRUE(writeAll(fds[1], bytes("")));  // nothing to write is no failure
    close(fds[0]);
    close(fds[1]);
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
