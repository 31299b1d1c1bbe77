// A small host: initialises Corral, installs a console hook, seeds the
// key-value store, pushes an assessment status, switches the execution mode
// and runs the hello page, printing each notification it observes. It drives
// Corral the way any host does: by the bridge's runtime name and selector
// strings. Its own output goes through stdio, so it is not mistaken for page
// output (std::cout is page output once a hook is set).
#include <cstdio>
#include <string>

#include "HelloPage.h"
#include "base/NotificationCenter.h"
#include "base/Objects.h"
#include "base/Runtime.h"

namespace {
const char* const kStoreDidChange = "PaddockKeyValueStoreDidChange";
const char* const kAssessmentDidChange = "PaddockPageAssessmentStatusDidChange";

std::string describe(const base::ObjectRef& object) {
    return object ? object->description() : "(absent)";
}

void report(const base::Notification& n) {
    if (n.name == kStoreDidChange || n.name == kAssessmentDidChange) return;  // reported below
    std::string info = n.userInfo ? n.userInfo->description() : "none";
    std::printf("host| notification %s from %s, user info: %s\n", n.name.c_str(),
                n.object ? n.object->className().c_str() : "nobody", info.c_str());
}

// What a host would save so the store survives to the next run.
void reportStoreChange(const base::Notification& n) {
    auto change = base::cast<base::Dictionary>(n.userInfo->objectForKey("PaddockKeyValueStoreChange"));
    std::printf("host| store: the page wrote %s = %s\n", describe(change->objectForKey("Key")).c_str(),
                describe(change->objectForKey("Value")).c_str());
}

void reportAssessment(const base::Notification& n) {
    auto passed = n.userInfo->objectForKey("PaddockPageAssessmentPassed");
    std::printf("host| assessment: passed = %s", describe(passed).c_str());
    for (const char* key : {"PaddockPageAssessmentPassedMessage", "PaddockPageAssessmentFailedHints",
                            "PaddockPageAssessmentFailedSolution"}) {
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

    std::printf("host| seeding the store as saved by an earlier run (the rect is dropped)\n");
    corral->send("setContentsOfCurrentKeyValueStore:",
                 {base::Dictionary::withStringKeys({
                     {"name", base::String::make("Ada")},
                     {"visits", base::Number::initWithInteger(2)},
                     {"window", base::Value::withRect({{0, 0}, {320, 240}})},
                 })});
    corral->send("setCurrentKeyValueStoreValue:forKey:",
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
