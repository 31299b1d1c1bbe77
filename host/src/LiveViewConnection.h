#pragma once
// The page's side of a live view that runs in a process of its own.
//
// start() runs the live-view application with one end of a socket pair as
// its descriptor 3 (named in the environment variable
// CORRAL_LIVE_VIEW_SOCKET, where the live-view agent looks for it), the
// other end of a second one for the live view's pictures as descriptor 4
// (CORRAL_LIVE_VIEW_PICTURE_SOCKET; see LiveViewPictures) and its
// standard output on the host's standard error, so the transcript stays
// the host's own. Then, in this order, it installs the page's message
// sender, reports "liveViewMessageConnectionOpened" and announces the
// remote live view with "setRemoteLiveViewIsAvailable:" true: the
// connection is open before the page's proxy exists.
//
// Messages from the live view reach "deliverLiveViewMessage:" on the main
// run loop, the page's thread. When the connection ends (the live view
// closed it, died, or broke the framing) the page hears
// "liveViewMessageConnectionClosed" and "setRemoteLiveViewIsAvailable:"
// false, and the transcript says why and how the process ended.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "Corral/base/Runtime.h"
#include "Corral/transport/MessageChannel.h"
#include "LiveViewPictures.h"
#include "ProtocolWriter.h"

namespace host {

class LiveViewConnection {
public:
    LiveViewConnection(const base::Class& corral, ProtocolWriter& transcript);
    ~LiveViewConnection();
    LiveViewConnection(const LiveViewConnection&) = delete;
    LiveViewConnection& operator=(const LiveViewConnection&) = delete;

    // Starts `application` and connects the page to it; false, with the
    // reason in the transcript, when it cannot be started.
    bool start(const std::string& application);
    // The page put another live view in place of the remote one (or
    // cleared it): the remote live view's pictures are no longer the page's
    // and are not relayed from now on. Messages still flow.
    void stopPictures();
    // Closes the connection and waits a little for the live-view process to
    // end, then stops it. Safe from any thread and any number of times: a
    // call while another runs waits for it.
    void shutDown();

private:
    // A socket pair, both ends above the descriptors the child gets; false,
    // with the reason in the transcript, when it cannot be made.
    bool makeSocketPair(int (&sockets)[2]);
    void connectionClosed(const std::string& reason);
    // How the process ended, waiting up to `patience` for it; empty if it
    // runs on. Called with processMutex_ held: while it is held nobody else
    // reaps the child, so its pid cannot be reused by another process, and
    // a signal sent meanwhile reaches the live view or nothing.
    std::string reapProcess(std::chrono::milliseconds patience);

    const base::Class& corral_;
    ProtocolWriter& transcript_;
    std::unique_ptr<transport::MessageChannel> channel_;
    std::unique_ptr<LiveViewPictures> pictures_;
    std::mutex processMutex_;  // guards process_ and shutDown_
    pid_t process_ = -1;       // the child, until it is reaped
    bool shutDown_ = false;
    std::atomic<bool> open_{false};
};

}  // namespace host
