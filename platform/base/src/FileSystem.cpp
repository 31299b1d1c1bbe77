#include "Corral/base/FileSystem.h"

#include "Corral/base/AtomicFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace base {

namespace {

// Closes a descriptor on scope exit unless released.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded.
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::optional<std::string> homeDirectory(const std::string& user) {
    if (user.empty()) {
        if (const char* home = std::getenv("HOME"); home && *home) return std::string(home);
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    int error = user.empty()
                    ? getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)
                    : getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (error != 0 || !found || !found->pw_dir) return std::nullopt;
    return std::string(found->pw_dir);
}

}  // namespace

bool readToEnd(int fd, std::vector<std::uint8_t>& out) {
    struct stat info {};
    // Room for a regular file's contents and for the read that finds its end.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        out.reserve(out.size() + static_cast<std::size_t>(info.st_size) + 65536);
    for (;;) {
        if (out.capacity() - out.size() < 65536) out.reserve(out.capacity() * 2 + 65536);
        std::size_t used = out.size();
        out.resize(out.capacity());
        ssize_t got = ::read(fd, out.data() + used, out.size() - used);
        out.resize(used + static_cast<std::size_t>(got > 0 ? got : 0));
        if (got == 0) return true;
        if (got < 0 && errno != EINTR) return false;
    }
}

std::optional<std::vector<std::uint8_t>> readFile(const std::string& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    if (!readToEnd(file.get(), bytes)) return std::nullopt;
    return bytes;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (wrote == 0) {
            // Nothing taken and no error: trying again would spin for ever.
            errno = EIO;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(wrote));
    }
    return true;
}

bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    AtomicFile file(path);
    return file.write(bytes) && file.commit();
}

std::string expandTildeInPath(const std::string& path) {
    if (path.empty() || path[0] != '~') return path;
    auto slash = path.find('/');
    std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    auto home = homeDirectory(user);
    if (!home) return path;
    return *home + (slash == std::string::npos ? "" : path.substr(slash));
}

}  // namespace base
