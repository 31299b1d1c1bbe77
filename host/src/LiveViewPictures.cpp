#include "LiveViewPictures.h"

#include <cmath>

#include "Corral/base/Objects.h"

namespace host {

namespace {

// A finite, non-negative number, else nothing.
std::optional<double> size(const base::ObjectRef& object) {
    auto number = base::cast<base::Number>(object);
    if (!number || number->typeCode() == "c" || number->typeCode() == "B") return std::nullopt;
    double value = number->doubleValue();
    if (!std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

}  // namespace

LiveViewPictures::LiveViewPictures(int socket, ProtocolWriter& transcript)
    : transcript_(transcript) {
    channel_ = std::make_unique<transport::MessageChannel>(
        socket,
        transport::MessageChannel::Handlers{
            [this](const base::ObjectRef& message) {
                Json event = eventFor(message);
                if (event.is_null()) {
                    transcript_.event("live view", "dropped a picture that is not one");
                } else {
                    transcript_.send(event);
                }
            },
            [this](const std::string& problem) {
                transcript_.event("live view", "pictures: " + problem);
            },
            [this](const std::string&) {
                std::lock_guard lock(endMutex_);
                ended_ = true;
                endCondition_.notify_all();
            },
        },
        loop_);
    channel_->start();
    thread_ = std::thread([this] { loop_.run(); });
}

LiveViewPictures::~LiveViewPictures() { stop(); }

void LiveViewPictures::stop() {
    std::lock_guard lock(stopMutex_);
    if (stopped_) return;
    stopped_ = true;
    channel_->close();
    loop_.stop();
    thread_.join();
    channel_.reset();  // joins the reader; what it still queued is dropped
}

void LiveViewPictures::finish(std::chrono::milliseconds patience) {
    {
        std::unique_lock lock(endMutex_);
        endCondition_.wait_for(lock, patience, [this] { return ended_; });
    }
    stop();
}

Json LiveViewPictures::eventFor(const base::ObjectRef& message) {
    auto picture = base::cast<base::Dictionary>(message);
    if (!picture) return nullptr;
    auto svg = base::cast<base::String>(picture->objectForKey("svg"));
    auto width = size(picture->objectForKey("width"));
    auto height = size(picture->objectForKey("height"));
    auto fullScreen = base::cast<base::Number>(picture->objectForKey("fullScreen"));
    if (!svg || !width || !height || !fullScreen ||
        (fullScreen->typeCode() != "c" && fullScreen->typeCode() != "B")) {
        return nullptr;
    }
    return {{"event", "liveView"},
            {"svg", svg->text()},
            {"width", *width},
            {"height", *height},
            {"fullScreen", fullScreen->boolValue()}};
}

}  // namespace host
