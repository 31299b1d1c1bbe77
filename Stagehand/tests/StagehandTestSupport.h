#pragma once
// Helpers shared by the Stagehand tests: a fixture that restores the
// process-wide screen and layout direction, frames in window coordinates,
// and a view controller that records its containment calls.

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Corral/ui/UI.h"

namespace base {
inline void PrintTo(const Rect& rect, std::ostream* os) { *os << ui::describeRect(rect); }
}  // namespace base

namespace stagehandtest {

class ScreenTest : public ::testing::Test {
protected:
    void TearDown() override {
        ui::Application::shared()->setUserInterfaceLayoutDirection(
            ui::UserInterfaceLayoutDirection::leftToRight);
        setScreenSize(1024, 768);
    }
    static void setScreenSize(double width, double height) {
        ui::Screen::mainScreen()->setBounds({0, 0, width, height});
    }
};

// Where the layout pass put a view, in window coordinates.
inline ui::Rect windowFrame(const base::Ref<ui::View>& view) {
    return view->convertRect(view->bounds(), nullptr);
}

using CallLog = std::shared_ptr<std::vector<std::string>>;

// Records "<name>.willMove(parent|none)" and "didMove", each with whether it
// is a child and whether its view is in a superview at that moment.
class RecordingController : public ui::ViewController {
public:
    RecordingController(std::string name, CallLog log)
        : name_(std::move(name)), log_(std::move(log)) {}
    void willMoveToParentViewController(const base::Ref<ui::ViewController>& p) override {
        record("willMove", p != nullptr);
    }
    void didMoveToParentViewController(const base::Ref<ui::ViewController>& p) override {
        record("didMove", p != nullptr);
    }

private:
    void record(const char* call, bool toParent) {
        auto view = viewIfLoaded();
        log_->push_back(name_ + "." + call + (toParent ? "(parent)" : "(none)") +
                        (parentViewController() ? " child" : "") +
                        (view && view->superview() ? " in-view" : ""));
    }
    std::string name_;
    CallLog log_;
};

}  // namespace stagehandtest
