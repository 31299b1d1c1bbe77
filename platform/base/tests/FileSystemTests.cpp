#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Corral/base/AtomicFile.h"
#include "Corral/base/FileContents.h"
#include "Corral/base/FileSystem.h"

using namespace base;

// This program stands in for two system calls the library makes, to see
// what it does with each, and to make a descriptor that takes nothing.
namespace {

std::atomic<int> descriptorThatTakesNothing{-1};
// Data flushes of one descriptor: counted, and failed when asked.
std::atomic<int> flushedDescriptor{-1};
std::atomic<int> dataFlushes{0};
std::atomic<bool> dataFlushesFail{false};

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

extern "C" __attribute__((visibility("default"))) int fdatasync(int fd) {
    static auto* next = real<int(int)>("fdatasync");
    if (fd == flushedDescriptor) {
        ++dataFlushes;
        if (dataFlushesFail) {
            // Like the kernel, says so once: a later flush succeeds.
            dataFlushesFail = false;
            errno = EIO;
            return -1;
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

    static std::string textOf(const std::string& file) {
        auto read = readFile(file);
        return read ? std::string(read->begin(), read->end()) : "(unreadable)";
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

TEST_F(FileSystemTest, AnAtomicFileTakesThePlaceOfTheTargetOnlyWhenCommitted) {
    std::string target = path("out");
    ASSERT_TRUE(writeFileAtomically(target, bytes("old")));
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.isOpen());
        EXPECT_TRUE(file.write(bytes("abandoned")));
        // Given up without a commit: the target stays, the new file goes.
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
    auto old = readFile(target);
    EXPECT_EQ(std::string(old->begin(), old->end()), "old");

    AtomicFile file(target);
    EXPECT_TRUE(file.write(bytes("first attempt, longer than the second")));
    EXPECT_TRUE(file.rewind());
    EXPECT_TRUE(file.write(bytes("new ")));
    EXPECT_TRUE(file.write(bytes("contents")));
    EXPECT_EQ(entries().size(), 2u);
    ASSERT_TRUE(file.commit());
    EXPECT_FALSE(file.commit());  // once only
    auto now = readFile(target);
    EXPECT_EQ(std::string(now->begin(), now->end()), "new contents");
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
}

namespace {

// Waits, for up to a minute, until `done` is true.
template <class Condition>
bool eventually(Condition done) {
    for (int i = 0; i < 60000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

}  // namespace

TEST_F(FileSystemTest, ALargeAtomicFileIsFlushedWhileItIsWritten) {
    std::string target = path("out");
    std::string piece(std::size_t{1} << 20, 'a');
    {
        // Abandoned while flushes may be under way: nothing is left.
        AtomicFile file(target);
        for (int i = 0; i < 9; ++i) ASSERT_TRUE(file.write(bytes(piece)));
    }
    EXPECT_TRUE(entries().empty());

    AtomicFile file(target);
    flushedDescriptor = file.descriptor();
    dataFlushes = 0;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(file.write(bytes(piece)));
    EXPECT_TRUE(eventually([] { return dataFlushes > 0; }));
    // Emptied after flushing began, then written again past several hand-overs.
    ASSERT_TRUE(file.rewind());
    // No flush is under way once the file is emptied.
    int before = dataFlushes;
    std::string expected;
    for (int i = 0; i < 13; ++i) {
        std::string next(std::size_t{1} << 20, static_cast<char>('b' + i));
        ASSERT_TRUE(file.write(bytes(next)));
        expected += next;
    }
    EXPECT_TRUE(eventually([&] { return dataFlushes > before; }));
    ASSERT_TRUE(file.commit());
    flushedDescriptor = -1;
    auto now = readFile(target);
    ASSERT_TRUE(now);
    EXPECT_TRUE(std::string(now->begin(), now->end()) == expected);
}

TEST_F(FileSystemTest, AFlushThatFailedWhileWritingFailsTheCommit) {
    std::string target = path("out");
    ASSERT_TRUE(writeFileAtomically(target, bytes("old")));
    std::string piece(std::size_t{1} << 20, 'n');
    {
        AtomicFile file(target);
        flushedDescriptor = file.descriptor();
        dataFlushes = 0;
        dataFlushesFail = true;
        for (int i = 0; i < 6; ++i) ASSERT_TRUE(file.write(bytes(piece)));
        ASSERT_TRUE(eventually([] { return !dataFlushesFail; }));
        // The final flush would succeed; the commit still knows better.
        errno = 0;
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(errno, EIO);
        flushedDescriptor = -1;
    }
    auto old = readFile(target);
    EXPECT_EQ(std::string(old->begin(), old->end()), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
}

namespace {

// The file's bytes as they stand, read through its descriptor.
std::string contentsOf(int fd) {
    std::string text;
    char buffer[65536];
    off_t at = 0;
    while (ssize_t got = pread(fd, buffer, sizeof buffer, at)) {
        if (got < 0) return "(unreadable)";
        text.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
    return text;
}

}  // namespace

TEST_F(FileSystemTest, AnAtomicFileHoldsWhatWasGivenOnceSettledInOrderAcrossItsBlocks) {
    AtomicFile file(path("out"));
    ASSERT_TRUE(file.write(bytes("small")));
    // Less than a block is kept back until asked for.
    EXPECT_EQ(contentsOf(file.descriptor()), "");
    ASSERT_TRUE(file.settle());
    EXPECT_EQ(contentsOf(file.descriptor()), "small");

    // Pieces of odd sizes, some larger than a block, through the thread.
    std::string expected = "small";
    for (int i = 0; i < 40; ++i) {
        std::string piece(static_cast<std::size_t>(i) * 97'531 + 1,
                          static_cast<char>('a' + i % 26));
        ASSERT_TRUE(file.write(bytes(piece)));
        expected += piece;
        if (i == 17) {
            ASSERT_TRUE(file.settle());
            EXPECT_TRUE(contentsOf(file.descriptor()) == expected);
        }
    }
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(textOf(path("out")) == expected);
}

TEST_F(FileSystemTest, AWriteThatFailsOnTheWritingThreadFailsTheNextCallAndTheCommit) {
    std::string target = path("out");
    ASSERT_TRUE(writeFileAtomically(target, bytes("old")));
    std::string piece(std::size_t{1} << 20, 'w');
    {
        AtomicFile file(target);
        descriptorThatTakesNothing = file.descriptor();
        // Taken at first: the writes happen behind the caller's back.
        ASSERT_TRUE(file.write(bytes(piece)));
        errno = 0;
        EXPECT_TRUE(eventually([&] { return !file.write(bytes(piece)); }));
        EXPECT_EQ(errno, EIO);
        EXPECT_FALSE(file.settle());
        EXPECT_FALSE(file.rewind());  // the failure stays
        errno = 0;
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(errno, EIO);
        descriptorThatTakesNothing = -1;
    }
    EXPECT_EQ(textOf(target), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});

    // A small file fails at its commit, where it is written.
    AtomicFile file(target);
    descriptorThatTakesNothing = file.descriptor();
    EXPECT_TRUE(file.write(bytes("never taken")));
    EXPECT_FALSE(file.commit());
    descriptorThatTakesNothing = -1;
    EXPECT_EQ(textOf(target), "old");
}

TEST_F(FileSystemTest, FileContentsMapRegularFilesAndReadEverythingElse) {
    std::string big(300000, 'x');
    big[123456] = 'y';
    std::ofstream(path("big")) << big;
    auto mapped = FileContents::ofPath(path("big"));
    ASSERT_TRUE(mapped);
    EXPECT_TRUE(mapped->isMapped());
    EXPECT_EQ(std::string(mapped->bytes().begin(), mapped->bytes().end()), big);
    auto moved = std::move(*mapped);
    EXPECT_EQ(moved.bytes().size(), big.size());
    EXPECT_EQ(moved.bytes()[123456], 'y');
    moved.release();
    EXPECT_TRUE(moved.bytes().empty());

    // An empty file cannot be mapped; it is read, as empty.
    std::ofstream(path("empty")).flush();
    auto empty = FileContents::ofPath(path("empty"));
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->isMapped());
    EXPECT_TRUE(empty->bytes().empty());
    // A file that reports no size but has contents is read to its end.
    auto status = FileContents::ofPath("/proc/self/status");
    ASSERT_TRUE(status);
    EXPECT_FALSE(status->isMapped());
    EXPECT_NE(std::string(status->bytes().begin(), status->bytes().end()).find("Pid:"),
              std::string::npos);
    EXPECT_FALSE(FileContents::ofPath(folder_));
    EXPECT_FALSE(FileContents::ofPath(path("absent")));
}

TEST_F(FileSystemTest, FileContentsOfADescriptorReadFromWhereItStands) {
    std::string text(100000, 'a');
    text.replace(0, 6, "header");
    std::ofstream(path("file")) << text;
    // Partly read already: the rest, as reading would give it.
    int fd = open(path("file").c_str(), O_RDONLY);
    char head[6];
    ASSERT_EQ(read(fd, head, sizeof head), 6);
    auto rest = FileContents::ofDescriptor(fd);
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->bytes().size(), text.size() - 6);
    close(fd);
    // Mapped from the start, and left at the end as reading would leave it.
    fd = open(path("file").c_str(), O_RDONLY);
    auto whole = FileContents::ofDescriptor(fd);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->isMapped());
    EXPECT_EQ(whole->bytes().size(), text.size());
    EXPECT_EQ(read(fd, head, sizeof head), 0);
    close(fd);

    // A pipe delivers more than its buffer holds, in many reads.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string stream(1 << 20, 'p');
    std::thread writer([&] {
        writeAll(fds[1], bytes(stream));
        close(fds[1]);
    });
    auto piped = FileContents::ofDescriptor(fds[0]);
    writer.join();
    close(fds[0]);
    ASSERT_TRUE(piped);
    EXPECT_FALSE(piped->isMapped());
    EXPECT_EQ(std::string(piped->bytes().begin(), piped->bytes().end()), stream);
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
