// The page's live view and its full-screen request: what page code shows
// beside its code, announced to the host, which places it.
#include <utility>
#include "Corral/PaddockNotifications.h"

#include "Corral/PaddockPage.h"
#include "Corral/PaddockRemoteView.h"
#include "Corral/base/Dictionary.h"
#include "Corral/base/Number.h"
#include "Corral/declarative/HostingController.h"

namespace {

const base::NotificationName& paddockPageLiveViewDidChange() {
    static const base::NotificationName name = PaddockNotifications::liveViewDidChange;
    return name;
}

const base::NotificationName& paddockPageWantsFullScreenLiveViewDidChange() {
    static const base::NotificationName name =
        PaddockNotifications::wantsFullScreenLiveViewDidChange;
    return name;
}

// The user info that hands `liveView` to the host: the view or the view
// controller under its key, or nothing at all when there is no live view.
base::Ref<base::Dictionary> liveViewUserInfo(const std::optional<PaddockLiveViewable>& liveView) {
    if (!liveView) return base::Dictionary::make();
    auto representation = liveView->paddockLiveViewRepresentation();
    switch (representation.kind()) {
        case PaddockLiveViewRepresentation::Case::view:
            return base::Dictionary::withStringKeys(
                {{PaddockNotifications::Key::liveView, representation.object()}});
        case PaddockLiveViewRepresentation::Case::viewController:
            return base::Dictionary::withStringKeys(
                {{PaddockNotifications::Key::liveViewController, representation.object()}});
    }
    return base::Dictionary::make();
}

}  // namespace

void PaddockPage::setLiveView(std::optional<PaddockLiveViewable> liveView) {
    const std::optional<PaddockLiveViewable> old = std::exchange(liveView_, liveView);
    if (!liveView && !old) return;
    // Observers may assign the live view again while this one is announced.
    // Each assignment is numbered, so that what every observer hears last is
    // what the page holds once the outermost assignment returns.
    const std::uint64_t assignment = ++liveViewAssignments_;
    // A remote live view has nothing to show in this process, and the host
    // that announced it knows of it already.
    if (liveView && liveView->as<PaddockRemoteLiveViewProxy>()) return;
    if (liveView) setNeedsIndefiniteExecution(true);
    // An observer of that post assigned another live view and has announced
    // it already: announcing this one now would contradict it.
    if (liveViewAssignments_ != assignment) return;
    auto& center = base::NotificationCenter::defaultCenter();
    center.post(paddockPageLiveViewDidChange(), self(), liveViewUserInfo(liveView));
    // An observer that assigned another live view during this post
    // announced it to every observer, but those after it in line then heard
    // this one. Tell them all again what the page holds now.
    for (std::uint64_t announced = assignment; liveViewAssignments_ != announced;) {
        announced = liveViewAssignments_;
        if (liveView_ && liveView_->as<PaddockRemoteLiveViewProxy>()) return;
        center.post(paddockPageLiveViewDidChange(), self(), liveViewUserInfo(liveView_));
    }
}

void PaddockPage::setLiveView(const declarative::AnyView& content) {
    setLiveView(PaddockLiveViewable(declarative::HostingController::make(content)));
}

void PaddockPage::modifyLiveView(
    const std::function<void(std::optional<PaddockLiveViewable>&)>& change) {
    std::optional<PaddockLiveViewable> liveView = liveView_;
    change(liveView);
    setLiveView(std::move(liveView));
}

void PaddockPage::setWantsFullScreenLiveView(bool value) {
    const bool old = std::exchange(wantsFullScreenLiveView_, value);
    if (old == value) return;
    base::NotificationCenter::defaultCenter().post(
        paddockPageWantsFullScreenLiveViewDidChange(), self(),
        base::Dictionary::withStringKeys({{PaddockNotifications::Key::wantsFullScreenLiveView,
                                           base::Number::initWithBool(value)}}));
}

void PaddockPage::modifyWantsFullScreenLiveView(const std::function<void(bool&)>& change) {
    bool value = wantsFullScreenLiveView_;
    change(value);
    setWantsFullScreenLiveView(value);
}
