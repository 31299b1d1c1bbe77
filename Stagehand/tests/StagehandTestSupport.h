#pragma once
// Helpers shared by the Stagehand tests: a fixture that restores the
// process-wide screen and layout direction, frames in window coordinates,
// and a view controller that records its containment calls.

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ui/UI.h"

namespace base {
// Readable rects in test failures.
inline void PrintTo(const Rect& rect, std::ostream* os) { *os << ui::describeRect(rect); }
}  // namespace base

namespace stagehandtest {

class ScreenTest : public ::testing::Test {
protected:
    void TearDown() override {
        ui::Application::shared()->setUserInterfaceLayoutDirection(
            ui::UserInterfaceLayoutDirection::leftToRight);
        ui::Screen::mainScreen()->setBounds({0, 0, 1024, 768});
    }
    static void setScreenSize(double width, double height) {
        ui::Screen::mainScreen()->setBounds({0, 0, width, height});
    }
};

// Where a view is, as the layout pass solved it, in window coordinates.
inline ui::Rect windowFrame(const base::Ref<ui::View>& view) {
    return view->convertRect(view->bounds(), nullptr);
}

using CallLog = std::shared_ptr<std::vector<std::string>>;
inline CallLog makeCallLog() { return std::make_shared<std::vector<std::string>>(); }

// Records "<name>.willMove(<parent>)" and "<name>.didMove(<parent>)", with
// what it is attached to at that moment: "[child, in view]" while it is a
// child and its view has a superview.
class RecordingController : public ui::ViewController {
public:
    RecordingController(std::string name, CallLog log)
        : name_(std::move(name)), log_(std::move(log)) {}

    void willMoveToParentViewController(const base::Ref<ui::ViewController>& parent) override {
        record("willMove", parent);
    }
    void didMoveToParentViewController(const base::Ref<ui::ViewController>& parent) override {
        record("didMove", parent);
    }

private:
    void record(const char* call, const base::Ref<ui::ViewController>& parent) {
        auto view = viewIfLoaded();
        log_->push_back(name_ + "." + call + "(" + (parent ? "parent" : "none") + ") [" +
                        (parentViewController() ? "child" : "no parent") + ", " +
                        (view && view->superview() ? "in view" : "no superview") + "]");
    }
    std::string name_;
    CallLog log_;
};

inline base::Ref<RecordingController> recordingController(std::string name, const CallLog& log) {
    return ui::ViewController::create<RecordingController>(std::move(name), log);
}

}  // namespace stagehandtest
