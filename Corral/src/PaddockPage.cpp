#include "Corral/PaddockPage.h"
#include "Corral/PaddockNotifications.h"

#include <unistd.h>

#include <cstdlib>

#include "Corral/base/Dictionary.h"
#include "Corral/base/Exception.h"
#include "Corral/base/Number.h"
#include "Corral/base/RunLoop.h"
#include "PaddockPageAccess.h"

namespace {

const base::NotificationName& paddockPageNeedsIndefiniteExecutionDidChange() {
    static const base::NotificationName name =
        PaddockNotifications::needsIndefiniteExecutionDidChange;
    return name;
}

const base::NotificationName& paddockPageIsReadyToFinishExecution() {
    static const base::NotificationName name = PaddockNotifications::finishExecution;
    return name;
}

}  // namespace

const base::NotificationName& PaddockNotificationName::paddockPageExecutionModeDidChange() {
    static const base::NotificationName name = PaddockNotifications::executionModeDidChange;
    return name;
}

const base::URL& paddockSharedDataDirectory() {
    static const base::URL directory = []() -> base::URL {
        base::fatalError("Corral/PaddockPage", 203,
                         "paddockSharedDataDirectory is not supported in Sandlot");
    }();
    return directory;
}

ProcessControl& PaddockPageAccess::processControl() {
    static ProcessControl control{
        [](unsigned seconds) {
            // sleep() may return early on a signal; finish the whole interval.
            for (unsigned left = seconds; left > 0;) left = ::sleep(left);
        },
        [](int status) { std::exit(status); },
    };
    return control;
}

PaddockPage::PaddockPage()
    : paddockTextProvider_(std::make_shared<const TextProvider>([] { return std::string(); })),
      userModuleNamesProvider_(
          std::make_shared<const NamesProvider>([] { return std::vector<std::string>(); })),
      userModuleSourceFileListProvider_(std::make_shared<const FileListProvider>(
          [](const std::string&) { return std::vector<std::string>(); })),
      userModuleSourceFileTextProvider_(std::make_shared<const FileTextProvider>(
          [](const std::string&, const std::string&) { return std::optional<std::string>(); })) {}
PaddockPage::~PaddockPage() = default;

PaddockPage& PaddockPage::current() {
    // Never released: the page lives until the process ends.
    static base::Ref<PaddockPage>* const page = new base::Ref<PaddockPage>(new PaddockPage());
    return **page;
}

void PaddockPage::setExecutionMode(ExecutionMode mode) {
    ExecutionMode old = executionMode_;
    executionMode_ = mode;
    if (old != mode) {
        base::NotificationCenter::defaultCenter().post(
            PaddockNotificationName::paddockPageExecutionModeDidChange(), self());
    }
}

void PaddockPage::setNeedsIndefiniteExecution(bool value) {
    needsIndefiniteExecution_ = value;
    auto userInfo = base::Dictionary::withStringKeys(
        {{PaddockNotifications::Key::needsIndefiniteExecution, base::Number::initWithBool(value)}});
    base::NotificationCenter::defaultCenter().post(paddockPageNeedsIndefiniteExecutionDidChange(),
                                                   self(), userInfo);
}

void PaddockPage::modifyNeedsIndefiniteExecution(const std::function<void(bool&)>& change) {
    bool value = needsIndefiniteExecution_;
    change(value);
    setNeedsIndefiniteExecution(value);
}

bool PaddockPage::waitUntil(const std::function<bool()>& condition,
                            std::chrono::steady_clock::duration timeout) {
    return base::RunLoop::main().runUntil(condition, timeout);
}

void PaddockPage::finishExecution() {
    base::NotificationCenter::defaultCenter().post(paddockPageIsReadyToFinishExecution(), self());
    auto& control = PaddockPageAccess::processControl();
    for (int i = 0; i < 10; ++i) control.sleepSeconds(60);
    control.exit(0);
    std::exit(0);  // in case a replaced exit step returned
}
