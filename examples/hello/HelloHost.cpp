// A small host: initialises Corral, installs a console hook and the source
// providers, seeds the key-value store, pushes an assessment status,
// switches the execution mode and runs the hello page, printing each
// notification it observes. It places the page's live view in a window of
// its own and prints the window's view tree, and prints the links the page
// asks it to follow. It drives Corral the way any host does: by the
// bridge's runtime name and selector strings. Its own output goes through
// stdio, so it is not mistaken for page output (std::cout is page output
// once a hook is set).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "Corral/PaddockNotifications.h"
#include "Corral/base/NotificationCenter.h"
#include "Corral/base/Objects.h"
#include "Corral/base/Runtime.h"
#include "Corral/ui/UI.h"
#include "HelloPage.h"

namespace {
const char* const kStoreDidChange = PaddockNotifications::keyValueStoreDidChange;
const char* const kAssessmentDidChange = PaddockNotifications::assessmentStatusDidChange;
const char* const kLiveViewDidChange = PaddockNotifications::liveViewDidChange;
const char* const kFullScreenDidChange = PaddockNotifications::wantsFullScreenLiveViewDidChange;
const char* const kLinkRequest = PaddockNotifications::requestsToHandleLink;

// The learner's sources as this host keeps them: the hello page's own files.
const char* const kModule = "Hello";
const char* const kFiles[] = {"HelloPage.cpp", "HelloPage.h"};

base::ObjectRef sourceFile(const std::string& name) {
    for (const char* file : kFiles) {
        if (name != file) continue;
        std::ifstream in(std::string(HELLO_SOURCE_DIR) + "/" + file, std::ifstream::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return in ? base::String::make(text.str()) : nullptr;
    }
    return nullptr;  // no such file: the page reads no text
}

void installSourceProviders(const base::Class& corral) {
    using Args = std::span<const base::ObjectRef>;
    corral.send("setPaddockPageTextProvider:",
                {base::Block::make([](Args) { return sourceFile("HelloPage.cpp"); })});
    corral.send("setUserModuleNamesProvider:", {base::Block::make([](Args) -> base::ObjectRef {
                    return base::Array::make({base::String::make(kModule)});
                })});
    corral.send("setUserModuleSourceFileListProvider:",
                {base::Block::make([](Args args) -> base::ObjectRef {
                    std::vector<base::ObjectRef> files;
                    auto module = base::cast<base::String>(args[0]);
                    if (module && module->text() == kModule) {
                        for (const char* file : kFiles) files.push_back(base::String::make(file));
                    }
                    return base::Array::make(std::move(files));
                })});
    corral.send("setUserModuleSourceFileTextProvider:",
                {base::Block::make([](Args args) -> base::ObjectRef {
                    auto file = base::cast<base::String>(args[0]);
                    auto module = base::cast<base::String>(args[1]);
                    if (!file || !module || module->text() != kModule) return nullptr;
                    return sourceFile(file->text());
                })});
}

// The host's live-view area: a window beside the code, where it places the
// view or view controller the page hands it.
class LiveViewArea {
public:
    LiveViewArea() : window_(ui::Window::make(ui::Rect(600, 0, 400, 300))) {
        window_->makeKeyAndVisible();
    }
    void show(const base::Notification& n) {
        if (auto view = base::cast<ui::View>(
                n.userInfo->objectForKey(PaddockNotifications::Key::liveView))) {
            std::printf("host| live view: a view of class %s\n", view->className().c_str());
            auto holder = ui::ViewController::make();
            holder->setView(view);
            window_->setRootViewController(holder);
        } else if (auto controller = base::cast<ui::ViewController>(
                       n.userInfo->objectForKey(PaddockNotifications::Key::liveViewController))) {
            std::printf("host| live view: a view controller of class %s\n",
                        controller->className().c_str());
            window_->setRootViewController(controller);
        } else {
            std::printf("host| live view: cleared\n");
            window_->setRootViewController(nullptr);
        }
        window_->layoutIfNeeded();
        std::printf("%s", indent(ui::dumpViewTree(*window_)).c_str());
    }

private:
    static std::string indent(const std::string& lines) {
        std::string result;
        std::istringstream in(lines);
        for (std::string line; std::getline(in, line);) result += "host|   " + line + "\n";
        return result;
    }
    base::Ref<ui::Window> window_;
};

void reportFullScreen(const base::Notification& n) {
    auto full = base::cast<base::Number>(
        n.userInfo->objectForKey(PaddockNotifications::Key::wantsFullScreenLiveView));
    std::printf("host| the page %s its live view full screen\n",
                full && full->boolValue() ? "wants" : "no longer wants");
}

void reportLink(const base::Notification& n) {
    auto payload = base::cast<base::String>(
        n.userInfo->objectForKey(PaddockNotifications::Key::linkRequestPayload));
    std::printf("host| link request: %s", payload ? payload->text().c_str() : "(none)");
    if (auto at = base::cast<base::Value>(
            n.userInfo->objectForKey(PaddockNotifications::Key::showGlossaryLocation))) {
        std::printf(" at %s in window coordinates", ui::describeRect(at->rectValue()).c_str());
    }
    std::printf("\n");
}

std::string describe(const base::ObjectRef& object) {
    return object ? object->description() : "(absent)";
}

void report(const base::Notification& n) {
    for (const char* reportedBelow : {kStoreDidChange, kAssessmentDidChange, kLiveViewDidChange,
                                      kFullScreenDidChange, kLinkRequest}) {
        if (n.name == reportedBelow) return;
    }
    std::string info = n.userInfo ? n.userInfo->description() : "none";
    std::printf("host| notification %s from %s, user info: %s\n", n.name.c_str(),
                n.object ? n.object->className().c_str() : "nobody", info.c_str());
}

// What a host would save so the store survives to the next run.
void reportStoreChange(const base::Notification& n) {
    auto change = base::cast<base::Dictionary>(
        n.userInfo->objectForKey(PaddockNotifications::Key::keyValueStoreChange));
    std::printf("host| store: the page wrote %s = %s\n",
                describe(change->objectForKey(PaddockNotifications::Key::changeKey)).c_str(),
                describe(change->objectForKey(PaddockNotifications::Key::changeValue)).c_str());
}

void reportAssessment(const base::Notification& n) {
    auto passed = n.userInfo->objectForKey(PaddockNotifications::Key::assessmentPassed);
    std::printf("host| assessment: passed = %s", describe(passed).c_str());
    for (const char* key : {PaddockNotifications::Key::assessmentPassedMessage,
                            PaddockNotifications::Key::assessmentFailedHints,
                            PaddockNotifications::Key::assessmentFailedSolution}) {
        if (auto value = n.userInfo->objectForKey(key)) {
            std::printf(", %s = %s", key, value->description().c_str());
        }
    }
    std::printf("\n");
}
}  // namespace

int main() {
    base::ScopedObserver everything(std::nullopt, nullptr, report);
    base::ScopedObserver store(kStoreDidChange, nullptr, reportStoreChange);
    base::ScopedObserver assessment(kAssessmentDidChange, nullptr, reportAssessment);
    LiveViewArea liveViewArea;
    base::ScopedObserver liveView(kLiveViewDidChange, nullptr,
                                  [&](const base::Notification& n) { liveViewArea.show(n); });
    base::ScopedObserver fullScreen(kFullScreenDidChange, nullptr, reportFullScreen);
    base::ScopedObserver links(kLinkRequest, nullptr, reportLink);
    const base::Class* corral = base::Runtime::shared().lookUpClass("_CorralFramework");
    if (!corral) {
        std::fprintf(stderr, "error: _CorralFramework is not loaded\n");
        return 1;
    }
    corral->send("initializeCorralFramework");
    corral->send("setPaddockConsolePrintHook:",
                 {base::Block::make([](std::span<const base::ObjectRef> args) {
                     auto text = base::cast<base::String>(args[0]);
                     std::printf("host| console received: %s", text ? text->text().c_str() : "");
                     return base::ObjectRef();
                 })});
    installSourceProviders(*corral);

    std::printf("host| seeding the store as saved by an earlier run (the rect is dropped)\n");
    corral->send("setContentsOfCurrentKeyValueStore:",
                 {base::Dictionary::withStringKeys({
                     {"name", base::String::make("Ada")},
                     {"visits", base::Number::initWithInteger(2)},
                     {"window", base::Value::withRect({{0, 0}, {320, 240}})},
                 })});
    corral->send(
        "setCurrentKeyValueStoreValue:forKey:",
        {base::Array::make({base::Number::initWithDouble(0.5), base::Number::initWithDouble(0.75)}),
         base::String::make("scores")});
    std::printf("host| pushing a failed assessment (no notification expected)\n");
    corral->send("setAssessmentStatus:",
                 {base::Dictionary::withStringKeys({
                     {"Status", base::String::make("Fail")},
                     {"Hints", base::Array::make({base::String::make("Count every visit.")})},
                 })});

    std::printf("host| switching to step mode\n");
    corral->send("setExecutionModeToStep");
    std::printf("host| switching to step mode again (no notification expected)\n");
    corral->send("setExecutionModeToStep");
    std::printf("host| running the page\n");
    std::fflush(stdout);
    helloPageMain();
    std::fflush(stdout);
    std::printf("host| the page returned\n");
    return 0;
}
