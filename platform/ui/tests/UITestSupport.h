#pragma once
// Helpers shared by the UI tests: a fixture that restores the process-wide
// screen and layout direction, and a view controller that
// records the calls it receives.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Corral/base/Exception.h"
#include "Corral/ui/UI.h"

namespace base {
// Readable rects in test failures.
inline void PrintTo(const Rect& rect, std::ostream* os) { *os << ui::describeRect(rect); }
}  // namespace base

namespace uitest {

class UITest : public ::testing::Test {
protected:
    void TearDown() override {
        ui::Application::shared()->setUserInterfaceLayoutDirection(
            ui::UserInterfaceLayoutDirection::leftToRight);
        ui::Screen::mainScreen()->setSafeAreaInsets({});
        ui::Screen::mainScreen()->setBounds({0, 0, 1024, 768});
    }
};

using CallLog = std::shared_ptr<std::vector<std::string>>;

// Records "<name>.<call>" for each lifecycle and containment call.
class RecordingController : public ui::ViewController {
public:
    RecordingController(std::string name, CallLog log)
        : name_(std::move(name)), log_(std::move(log)) {}

    void loadView() override {
        record("loadView");
        ViewController::loadView();
    }
    void viewDidLoad() override { record("viewDidLoad"); }
    void viewWillAppear(bool) override { record("viewWillAppear"); }
    void viewDidAppear(bool) override { record("viewDidAppear"); }
    void viewWillDisappear(bool) override { record("viewWillDisappear"); }
    void viewDidDisappear(bool) override { record("viewDidDisappear"); }
    void willMoveToParentViewController(const base::Ref<ui::ViewController>& parent) override {
        record(std::string("willMoveTo(") + (parent ? "parent" : "none") + ")");
    }
    void didMoveToParentViewController(const base::Ref<ui::ViewController>& parent) override {
        record(std::string("didMoveTo(") + (parent ? "parent" : "none") + ")");
    }
    void viewWillTransitionToSize(
        ui::Size size, const base::Ref<ui::TransitionCoordinator>& coordinator) override {
        record("transition(" + std::to_string(static_cast<int>(size.width)) + "x" +
               std::to_string(static_cast<int>(size.height)) + ")");
        ViewController::viewWillTransitionToSize(size, coordinator);
    }

protected:
    void record(const std::string& call) { log_->push_back(name_ + "." + call); }

private:
    std::string name_;
    CallLog log_;
};

inline CallLog makeCallLog() { return std::make_shared<std::vector<std::string>>(); }

}  // namespace uitest
