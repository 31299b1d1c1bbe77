#pragma once
// Shows the page's live view (a view or view controller that runs in the
// page's own process) in a window of the host, and sends a picture of it
// after every layout pass of that window: {"event":"liveView","svg":...,
// "width":W,"height":H,"fullScreen":bool}, the SVG drawn from the window's
// view tree. A pass that leaves the picture as it was sends nothing. The
// window fills the left half of the screen beside the code, or the whole
// screen while the page wants its live view full screen. Clearing the live
// view sends {"event":"liveViewCleared"}.
//
// Used on the page's thread, like the toolkit itself.

#include <functional>
#include <string>

#include "Corral/base/NotificationCenter.h"
#include "Corral/ui/Window.h"
#include "ProtocolValue.h"

namespace host {

class LiveViewPresenter {
public:
    explicit LiveViewPresenter(std::function<void(const Json&)> send);
    ~LiveViewPresenter();
    LiveViewPresenter(const LiveViewPresenter&) = delete;
    LiveViewPresenter& operator=(const LiveViewPresenter&) = delete;

    // Takes the user info of "PaddockPageLiveViewDidChangeNotification".
    void show(const base::ObjectRef& userInfo);
    void setFullScreen(bool fullScreen);

    // The window the live view is shown in.
    ui::Window& window() { return *window_; }

private:
    void sendPicture();

    std::function<void(const Json&)> send_;
    base::Ref<ui::Window> window_;
    bool showing_ = false;
    bool fullScreen_ = false;
    std::string lastPicture_;
};

}  // namespace host
