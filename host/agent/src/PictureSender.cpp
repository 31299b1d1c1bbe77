#include "PictureSender.h"

#include <chrono>
#include <cstdio>

#include "Corral/base/Objects.h"
#include "Corral/base/RunLoop.h"
#include "Corral/ui/Application.h"
#include "Corral/ui/ViewController.h"
#include "Corral/ui/ViewTreeDump.h"

namespace liveviewagent {

namespace {

// The view the live view is shown in: the first child controller's view
// when it is loaded into this window, else the window itself.
const ui::View& liveViewArea(const ui::Window& window) {
    auto root = window.rootViewController();
    if (root && !root->childViewControllers().empty()) {
        const auto& child = root->childViewControllers().front();
        if (child->isViewLoaded()) {
            auto view = child->view();
            if (view->window().get() == &window) return *view;
        }
    }
    return window;
}

}  // namespace

PictureSender::PictureSender(int socket)
    : channel_(std::make_unique<transport::MessageChannel>(
          socket,
          transport::MessageChannel::Handlers{
              nullptr,
              [](const std::string& problem) {
                  std::fprintf(stderr, "live-view agent: pictures: %s\n", problem.c_str());
              },
              nullptr,
          })),
      sender_([this] { sendLoop(); }) {}

PictureSender::~PictureSender() {
    self_.reset();
    {
        // The last picture still reaches a host that reads, so an
        // application that ends right after drawing is seen as it ended.
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::seconds(1),
                       [this] { return stopping_ || (!waiting_.has_value() && !sending_); });
        stopping_ = true;
    }
    wake_.notify_all();
    channel_->close();  // a send blocked on a full connection gives up
    sender_.join();
    if (auto window = window_.lock()) window->setLayoutPassObserver(nullptr);
}

void PictureSender::followKeyWindow() {
    if (auto window = ui::Application::shared()->keyWindow()) attach(window);
    // A window that becomes key later (or replaces this one) is followed
    // from the next turn of the main run loop on.
    base::RunLoop::main().addTurnObserver([alive = std::weak_ptr<PictureSender*>(self_)] {
        auto self = alive.lock();
        if (!self) return;
        auto window = ui::Application::shared()->keyWindow();
        if (window && window != (*self)->window_.lock()) (*self)->attach(window);
    });
}

void PictureSender::attach(const base::Ref<ui::Window>& window) {
    if (auto old = window_.lock()) old->setLayoutPassObserver(nullptr);
    window_ = window;
    window->setLayoutPassObserver([this](ui::Window& laidOut) { offer(draw(laidOut)); });
    offer(draw(*window));
}

PictureSender::Picture PictureSender::draw(const ui::Window& window) {
    const ui::View& area = liveViewArea(window);
    auto box = area.bounds().size;
    auto whole = window.bounds().size;
    return {ui::svgForViewTree(area), box.width, box.height,
            box.width >= whole.width && box.height >= whole.height};
}

base::ObjectRef PictureSender::message(const Picture& picture) {
    return base::Dictionary::withStringKeys({
        {"svg", base::String::make(picture.svg)},
        {"width", base::Number::initWithDouble(picture.width)},
        {"height", base::Number::initWithDouble(picture.height)},
        {"fullScreen", base::Number::initWithBool(picture.fullScreen)},
    });
}

void PictureSender::offer(Picture picture) {
    if (picture.svg == lastSvg_) return;
    lastSvg_ = picture.svg;
    if (picture.svg.size() > transport::maxFrameSize / 2) {
        std::fprintf(stderr, "live-view agent: a picture of %zu bytes is too large to send\n",
                     picture.svg.size());
        return;
    }
    {
        std::lock_guard lock(mutex_);
        waiting_ = std::move(picture);
    }
    wake_.notify_all();
}

void PictureSender::sendLoop() {
    for (;;) {
        Picture picture;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
            if (stopping_) return;
            picture = std::move(*waiting_);
            waiting_.reset();
            sending_ = true;
        }
        bool sent = channel_->send(message(picture));
        {
            std::lock_guard lock(mutex_);
            sending_ = false;
            if (!sent) stopping_ = true;  // the host has gone: send no more
        }
        wake_.notify_all();
        if (!sent) return;
    }
}

}  // namespace liveviewagent
