// Round trip of a small live-view message through the host's transport
// (frame, socket, reader thread, run loop, and back the same way) against
// the floor: a raw ping-pong of the same frame bytes over a socket pair.
// Then 100,000 small messages one way, checked for loss and order.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "Corral/base/FileSystem.h"
#include "Corral/base/Objects.h"
#include "Corral/base/RunLoop.h"
#include "Corral/transport/MessageChannel.h"

namespace {

base::ObjectRef smallMessage() {
    return base::Dictionary::withStringKeys(
        {{"x", base::Number::initWithInteger(42)}, {"label", base::String::make("ping")}});
}

bool readExactly(int fd, std::uint8_t* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, into + done, size - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void RawSocketPairPingPong(benchmark::State& state) {
    int sockets[2];
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets);
    const auto frame = transport::encodeFrame(smallMessage());
    std::thread echo([&] {
        std::vector<std::uint8_t> buffer(frame.size());
        while (readExactly(sockets[1], buffer.data(), buffer.size()))
            base::writeAll(sockets[1], buffer);
    });
    std::vector<std::uint8_t> back(frame.size());
    for (auto _ : state) {
        base::writeAll(sockets[0], frame);
        readExactly(sockets[0], back.data(), back.size());
    }
    ::shutdown(sockets[0], SHUT_RDWR);
    echo.join();
    ::close(sockets[0]);
    ::close(sockets[1]);
    state.counters["bytes"] = static_cast<double>(frame.size());
}
BENCHMARK(RawSocketPairPingPong)->UseRealTime();

// The live view's side: a thread with a run loop of its own whose channel
// sends every message straight back, or only counts them.
class Peer {
public:
    explicit Peer(int socket, bool echo) {
        thread_ = std::thread([this, socket, echo] {
            base::RunLoop loop;
            std::atomic<bool> closed{false};
            std::unique_ptr<transport::MessageChannel> channel;
            channel = std::make_unique<transport::MessageChannel>(
                socket,
                transport::MessageChannel::Handlers{
                    [&](const base::ObjectRef& message) {
                        if (echo) {
                            channel->send(message);
                        } else {
                            auto n = base::cast<base::Number>(message);
                            if (!n || n->integerValue() != received_) outOfOrder_ = true;
                            ++received_;
                        }
                    },
                    {},
                    [&](const std::string&) { closed = true; }},
                loop);
            channel->start();
            loop.runUntil([&] { return closed.load(); }, std::chrono::minutes(5));
        });
    }
    ~Peer() { finish(); }
    // Waits until the peer has seen the end of its input.
    void finish() {
        if (thread_.joinable()) thread_.join();
    }
    std::int64_t received() const { return received_; }
    bool outOfOrder() const { return outOfOrder_; }

private:
    std::thread thread_;
    std::atomic<std::int64_t> received_{0};
    std::atomic<bool> outOfOrder_{false};
};

void HostTransportRoundTrip(benchmark::State& state) {
    int sockets[2];
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets);
    Peer peer(sockets[1], true);
    auto& loop = base::RunLoop::main();
    std::int64_t replies = 0;
    transport::MessageChannel page(sockets[0],
                                   {[&](const base::ObjectRef&) { ++replies; }, {}, {}});
    page.start();
    const auto message = smallMessage();
    for (auto _ : state) {
        std::int64_t expected = replies + 1;
        page.send(message);
        loop.runUntil([&] { return replies == expected; }, std::chrono::seconds(10));
    }
    if (replies != state.iterations()) state.SkipWithError("a reply was lost");
    page.close();
}
BENCHMARK(HostTransportRoundTrip)->UseRealTime();

void HostTransportOneWay100k(benchmark::State& state) {
    constexpr std::int64_t kMessages = 100000;
    for (auto _ : state) {
        int sockets[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets);
        bool lost = false, outOfOrder = false;
        {
            Peer peer(sockets[1], false);
            {
                transport::MessageChannel page(sockets[0], {});
                for (std::int64_t i = 0; i < kMessages; ++i)
                    page.send(base::Number::initWithInteger(i));
                page.close();  // the peer reads what is buffered, then the end
            }
            peer.finish();
            lost = peer.received() != kMessages;
            outOfOrder = peer.outOfOrder();
        }
        if (lost || outOfOrder)
            state.SkipWithError(lost ? "messages were lost" : "messages were reordered");
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(HostTransportOneWay100k)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
