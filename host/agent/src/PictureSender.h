#pragma once
// Sends pictures of the live-view application's window to the host, so that
// a host which shows the live view somewhere else (a browser) can draw it.
//
// After every layout pass of the application's key window the live view's
// area is drawn as SVG (ui::svgForViewTree); a picture that differs from the
// last one goes to the host as one message on the picture connection:
//   {"svg": text, "width": W, "height": H, "fullScreen": bool}
// The area is the view of the window's root view controller's first child
// (the application shell shows its live view in a child controller), else
// the whole window; fullScreen says whether that area fills the window.
//
// Pictures are coalesced: a thread of its own writes them, and while it is
// still writing one (the host reads slowly) newer pictures replace the one
// waiting, so the window never waits for the host and only the latest
// picture is ever queued. When the sender goes (the application ends) it
// waits up to a second for the last picture to be written.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Corral/base/Object.h"
#include "Corral/transport/MessageChannel.h"
#include "Corral/ui/Window.h"

namespace liveviewagent {

class PictureSender {
public:
    // Takes ownership of `socket`. Call on the main thread.
    explicit PictureSender(int socket);
    ~PictureSender();
    PictureSender(const PictureSender&) = delete;
    PictureSender& operator=(const PictureSender&) = delete;

    // Follows the application's key window from now on: draws it at once and
    // after each of its layout passes. Call on the main thread.
    void followKeyWindow();

    struct Picture {
        std::string svg;
        double width = 0;
        double height = 0;
        bool fullScreen = false;
    };
    // The live view's area of `window`, drawn.
    static Picture draw(const ui::Window& window);
    // The message that carries `picture`.
    static base::ObjectRef message(const Picture& picture);

private:
    void attach(const base::Ref<ui::Window>& window);
    void offer(Picture picture);
    void sendLoop();

    std::unique_ptr<transport::MessageChannel> channel_;
    base::WeakRef<ui::Window> window_;
    std::string lastSvg_;

    std::mutex mutex_;  // guards waiting_, sending_ and stopping_
    std::condition_variable wake_;
    std::optional<Picture> waiting_;
    bool sending_ = false;
    bool stopping_ = false;
    std::thread sender_;
    // Lets the run loop's turn observer, which cannot be removed, know
    // whether this sender still exists.
    std::shared_ptr<PictureSender*> self_ = std::make_shared<PictureSender*>(this);
};

}  // namespace liveviewagent
