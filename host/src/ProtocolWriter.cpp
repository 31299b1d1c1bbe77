#include "ProtocolWriter.h"

#include "Corral/base/FileSystem.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace host {

bool writeAll(int fd, std::string_view bytes) {
    return base::writeAll(
        fd, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

bool ProtocolWriter::send(const Json& message) {
    std::string line = protocolLine(message);
    line += '\n';
    std::lock_guard lock(mutex_);
    auto giveUp = std::chrono::steady_clock::now() + patience_;
    for (int pipe : orderAfter_) {
        int unread = 0;
        while (::ioctl(pipe, FIONREAD, &unread) == 0 && unread > 0 &&
               std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    return writeAll(fd_, line);
}

void ProtocolWriter::event(const std::string& about, const std::string& text) {
    send({{"event", "hostMessage"}, {"about", about}, {"message", text}});
}

}  // namespace host
