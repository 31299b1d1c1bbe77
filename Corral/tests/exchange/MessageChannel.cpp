#include "MessageChannel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "Corral/base/Objects.h"
#include "Corral/base/RunLoop.h"
#include "Corral/base/Runtime.h"
#include "ObjectWire.h"

namespace wire {

// Shared with the work posted to the main run loop, which may outlive the
// channel when a test gives up early.
struct MessageChannel::State {
    int socket = -1;
    bool closed = false;    // main thread only
    bool detached = false;  // main thread only: the channel is gone
    mutable std::mutex mutex;
    std::string error;
};

namespace {
const base::Class& corral() {
    const base::Class* bridge = base::Runtime::shared().lookUpClass("_CorralFramework");
    if (!bridge) throw std::runtime_error("_CorralFramework is not loaded");
    return *bridge;
}
}  // namespace

MessageChannel::MessageChannel(int socket) : state_(std::make_shared<State>()) {
    state_->socket = socket;
}

MessageChannel::~MessageChannel() {
    state_->detached = true;                // work still queued must not reach a later page
    ::shutdown(state_->socket, SHUT_RDWR);  // wakes the reader
    if (reader_.joinable()) reader_.join();
    ::close(state_->socket);
}

void MessageChannel::installSender() {
    corral().send("setLiveViewMessageSender:",
                  {base::Block::make([state = state_](std::span<const base::ObjectRef> args) {
                      writeFrame(state->socket, args[0]);
                      return base::ObjectRef();
                  })});
}

void MessageChannel::startReading() {
    reader_ = std::thread([state = state_] {
        auto& loop = base::RunLoop::main();
        try {
            while (auto object = readFrame(state->socket)) {
                loop.post([state, message = *object] {
                    if (!state->detached) corral().send("deliverLiveViewMessage:", {message});
                });
            }
        } catch (const WireError& e) {
            std::lock_guard lock(state->mutex);
            state->error = e.what();
        }
        loop.post([state] {
            if (state->detached) return;
            corral().send("liveViewMessageConnectionClosed");
            state->closed = true;
        });
    });
}

void MessageChannel::closeWriting() { ::shutdown(state_->socket, SHUT_WR); }

bool MessageChannel::closed() const { return state_->closed; }

std::string MessageChannel::error() const {
    std::lock_guard lock(state_->mutex);
    return state_->error;
}

}  // namespace wire
