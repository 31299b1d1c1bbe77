#include "Corral/CorralFramework.h"

#include <span>

#include "Corral/PaddockPage.h"
#include "PaddockPageAccess.h"
#include "PrintForwarder.h"
#include "base/Exception.h"
#include "base/Runtime.h"
#include "base/String.h"

namespace {

using Mode = PaddockPage::ExecutionMode;

void setMode(Mode mode) { PaddockPageAccess::setExecutionMode(PaddockPage::current(), mode); }

base::Ref<base::Block> blockArgument(std::string_view selector, const base::ObjectRef& argument) {
    auto block = base::cast<base::Block>(argument);
    if (!block) {
        base::raiseInvalidArgument(std::string(selector) + " expects a block, got " +
                                   (argument ? argument->className() : "nil"));
    }
    return block;
}

using Args = std::span<const base::ObjectRef>;

// A class method without arguments, for the runtime.
base::Class::Method noArguments(void (*entry)()) {
    return [entry](Args) -> base::ObjectRef {
        entry();
        return nullptr;
    };
}

// Registers the bridge under its runtime name when the library is loaded.
base::Class makeBridgeClass() {
    base::Class bridge(CorralFramework::runtimeName);
    bridge.classMethod("initializeCorralFramework",
                       noArguments(&CorralFramework::initializeCorralFramework));
    const std::pair<const char*, void (*)(const base::Ref<base::Block>&)> blockEntries[] = {
        {"setLiveViewMessageSender:", &CorralFramework::setLiveViewMessageSender},
        {"setPaddockPageTextProvider:", &CorralFramework::setPaddockPageTextProvider},
        {"setUserModuleNamesProvider:", &CorralFramework::setUserModuleNamesProvider},
        {"setUserModuleSourceFileListProvider:",
         &CorralFramework::setUserModuleSourceFileListProvider},
        {"setUserModuleSourceFileTextProvider:",
         &CorralFramework::setUserModuleSourceFileTextProvider},
    };
    for (const auto& [selector, entry] : blockEntries) {
        bridge.classMethod(selector, [selector, entry](Args args) -> base::ObjectRef {
            entry(blockArgument(selector, args[0]));
            return nullptr;
        });
    }
    bridge.classMethod("setExecutionModeToRun", noArguments(&CorralFramework::setExecutionModeToRun));
    bridge.classMethod("setExecutionModeToRunFaster",
                       noArguments(&CorralFramework::setExecutionModeToRunFaster));
    bridge.classMethod("setExecutionModeToRunFastest",
                       noArguments(&CorralFramework::setExecutionModeToRunFastest));
    bridge.classMethod("setExecutionModeToStep",
                       noArguments(&CorralFramework::setExecutionModeToStep));
    bridge.classMethod("setExecutionModeToStepSlowly",
                       noArguments(&CorralFramework::setExecutionModeToStepSlowly));
    bridge.classMethod("setPaddockConsolePrintHook:", [](Args args) -> base::ObjectRef {
        CorralFramework::setPaddockConsolePrintHook(
            blockArgument("setPaddockConsolePrintHook:", args[0]));
        return nullptr;
    });
    return bridge;
}

[[maybe_unused]] const bool bridgeRegistered = base::Runtime::shared().registerClass(makeBridgeClass());

}  // namespace

void CorralFramework::initializeCorralFramework() {
    auto& slot = base::_paddockPrintHook();
    slot.set(makePrintForwarder(slot.get()));
}

void CorralFramework::setLiveViewMessageSender(const base::Ref<base::Block>& block) {
    blockArgument("setLiveViewMessageSender:", block);
    PaddockPageAccess::setLiveViewMessageSender(
        PaddockPage::current(), std::make_shared<const PaddockPageAccess::LiveViewMessageSender>(
                                    [block](const base::ObjectRef& message) { (*block)(message); }));
}

void CorralFramework::setPaddockPageTextProvider(const base::Ref<base::Block>& block) {
    PaddockPageAccess::setTextProvider(PaddockPage::current(),
                                       blockArgument("setPaddockPageTextProvider:", block));
}

void CorralFramework::setUserModuleNamesProvider(const base::Ref<base::Block>& block) {
    PaddockPageAccess::setNamesProvider(PaddockPage::current(),
                                        blockArgument("setUserModuleNamesProvider:", block));
}

void CorralFramework::setUserModuleSourceFileListProvider(const base::Ref<base::Block>& block) {
    PaddockPageAccess::setFileListProvider(
        PaddockPage::current(), blockArgument("setUserModuleSourceFileListProvider:", block));
}

void CorralFramework::setUserModuleSourceFileTextProvider(const base::Ref<base::Block>& block) {
    PaddockPageAccess::setFileTextProvider(
        PaddockPage::current(), blockArgument("setUserModuleSourceFileTextProvider:", block));
}

void CorralFramework::setExecutionModeToRun() { setMode(Mode::run); }
void CorralFramework::setExecutionModeToRunFaster() { setMode(Mode::runFaster); }
void CorralFramework::setExecutionModeToRunFastest() { setMode(Mode::runFastest); }
void CorralFramework::setExecutionModeToStep() { setMode(Mode::step); }
void CorralFramework::setExecutionModeToStepSlowly() { setMode(Mode::stepSlowly); }

void CorralFramework::setPaddockConsolePrintHook(const base::Ref<base::Block>& block) {
    blockArgument("setPaddockConsolePrintHook:", block);
    // The page owns the block through the wrapper until the next call replaces it.
    auto wrapper = [block](const std::string& text) { (*block)(base::String::make(text)); };
    PaddockPageAccess::setConsolePrintHook(
        PaddockPage::current(),
        std::make_shared<const PaddockPageAccess::ConsolePrintHook>(std::move(wrapper)));
}
