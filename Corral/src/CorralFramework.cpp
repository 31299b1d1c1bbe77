#include "Corral/CorralFramework.h"

#include <span>

#include "AssessmentStatusSerializationError.h"
#include "Corral/PaddockKeyValueStore.h"
#include "Corral/PaddockPage.h"
#include "Corral/PaddockRemoteView.h"
#include "Corral/base/Exception.h"
#include "Corral/base/Number.h"
#include "Corral/base/Runtime.h"
#include "Corral/base/String.h"
#include "PaddockKeyValueStoreAccess.h"
#include "PaddockPageAccess.h"
#include "PaddockValueObjectRepresentation.h"
#include "PrintForwarder.h"

namespace {

using Mode = PaddockPage::ExecutionMode;

void setMode(Mode mode) { PaddockPageAccess::setExecutionMode(PaddockPage::current(), mode); }

// `argument` as a T; raises the invalid-argument exception otherwise.
template <class T>
base::Ref<T> requireArgument(std::string_view selector, const base::ObjectRef& argument,
                             std::string_view expected) {
    auto typed = base::cast<T>(argument);
    if (!typed) {
        base::raiseInvalidArgument(std::string(selector) + " expects " + std::string(expected) +
                                   ", got " + (argument ? argument->className() : "nil"));
    }
    return typed;
}

// The page's live view when it takes part in live-view messaging, held for
// the length of the caller's call; else empty.
base::Ref<PaddockLiveViewMessageHandler> liveViewMessageHandler() {
    const auto liveView = PaddockPage::current().liveView();
    return liveView ? liveView->as<PaddockLiveViewMessageHandler>() : nullptr;
}

base::Ref<base::Block> blockArgument(std::string_view selector, const base::ObjectRef& argument) {
    return requireArgument<base::Block>(selector, argument, "a block");
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
    for (const auto& blockEntry : blockEntries) {
        const char* selector = blockEntry.first;
        auto entry = blockEntry.second;
        bridge.classMethod(selector, [selector, entry](Args args) -> base::ObjectRef {
            entry(blockArgument(selector, args[0]));
            return nullptr;
        });
    }
    bridge.classMethod("setContentsOfCurrentKeyValueStore:", [](Args args) -> base::ObjectRef {
        CorralFramework::setContentsOfCurrentKeyValueStore(requireArgument<base::Dictionary>(
            "setContentsOfCurrentKeyValueStore:", args[0], "a dictionary"));
        return nullptr;
    });
    bridge.classMethod("setCurrentKeyValueStoreValue:forKey:", [](Args args) -> base::ObjectRef {
        CorralFramework::setCurrentKeyValueStoreValue(
            args[0], requireArgument<base::String>("setCurrentKeyValueStoreValue:forKey:", args[1],
                                                   "a string key"));
        return nullptr;
    });
    bridge.classMethod("setAssessmentStatus:", [](Args args) -> base::ObjectRef {
        CorralFramework::setAssessmentStatus(args[0]);
        return nullptr;
    });
    bridge.classMethod("setExecutionModeToRun",
                       noArguments(&CorralFramework::setExecutionModeToRun));
    bridge.classMethod("setExecutionModeToRunFaster",
                       noArguments(&CorralFramework::setExecutionModeToRunFaster));
    bridge.classMethod("setExecutionModeToRunFastest",
                       noArguments(&CorralFramework::setExecutionModeToRunFastest));
    bridge.classMethod("setExecutionModeToStep",
                       noArguments(&CorralFramework::setExecutionModeToStep));
    bridge.classMethod("setExecutionModeToStepSlowly",
                       noArguments(&CorralFramework::setExecutionModeToStepSlowly));
    bridge.classMethod("setRemoteLiveViewIsAvailable:", [](Args args) -> base::ObjectRef {
        CorralFramework::setRemoteLiveViewIsAvailable(
            requireArgument<base::Number>("setRemoteLiveViewIsAvailable:", args[0],
                                          "a boolean number")
                ->boolValue());
        return nullptr;
    });
    bridge.classMethod("liveViewMessageConnectionOpened",
                       noArguments(&CorralFramework::liveViewMessageConnectionOpened));
    bridge.classMethod("liveViewMessageConnectionClosed",
                       noArguments(&CorralFramework::liveViewMessageConnectionClosed));
    bridge.classMethod("deliverLiveViewMessage:", [](Args args) -> base::ObjectRef {
        CorralFramework::deliverLiveViewMessage(args[0]);
        return nullptr;
    });
    bridge.classMethod("setPaddockConsolePrintHook:", [](Args args) -> base::ObjectRef {
        CorralFramework::setPaddockConsolePrintHook(
            blockArgument("setPaddockConsolePrintHook:", args[0]));
        return nullptr;
    });
    return bridge;
}

[[maybe_unused]] const bool bridgeRegistered =
    base::Runtime::shared().registerClass(makeBridgeClass());

}  // namespace

void CorralFramework::initializeCorralFramework() {
    auto& slot = base::_paddockPrintHook();
    slot.set(makePrintForwarder(slot.get()));
}

void CorralFramework::setLiveViewMessageSender(const base::Ref<base::Block>& block) {
    blockArgument("setLiveViewMessageSender:", block);
    PaddockPageAccess::setLiveViewMessageSender(
        PaddockPage::current(),
        std::make_shared<const PaddockPageAccess::LiveViewMessageSender>(
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

void CorralFramework::setContentsOfCurrentKeyValueStore(
    const base::Ref<base::Dictionary>& contents) {
    requireArgument<base::Dictionary>("setContentsOfCurrentKeyValueStore:", contents,
                                      "a dictionary");
    PaddockKeyValueStoreAccess::replaceContents(PaddockKeyValueStore::current(), *contents);
}

void CorralFramework::setCurrentKeyValueStoreValue(const base::ObjectRef& value,
                                                   const base::Ref<base::String>& key) {
    requireArgument<base::String>("setCurrentKeyValueStoreValue:forKey:", key, "a string key");
    PaddockKeyValueStoreAccess::setEntry(PaddockKeyValueStore::current(), key->text(), value);
}

void CorralFramework::setAssessmentStatus(const base::ObjectRef& status) {
    auto& page = PaddockPage::current();
    auto value = paddockValueFromObjectRepresentation(status);
    if (!value) {
        PaddockPageAccess::storeAssessmentStatus(page, std::nullopt);
        return;
    }
    try {
        auto decoded = PaddockPageAccess::decodeAssessmentStatus(*value);
        PaddockPageAccess::storeAssessmentStatus(page, std::move(decoded));
    } catch (const PaddockPageAccess::SerializationError& error) {
        // The host cannot be told; keep the status page code last saw.
        diagnosticLogger().write(base::LogLevel::error,
                                 "setAssessmentStatus: the pushed status is malformed (" +
                                     error.caseDescription() + "); the previous one is kept");
    }
}

void CorralFramework::setExecutionModeToRun() { setMode(Mode::run); }
void CorralFramework::setExecutionModeToRunFaster() { setMode(Mode::runFaster); }
void CorralFramework::setExecutionModeToRunFastest() { setMode(Mode::runFastest); }
void CorralFramework::setExecutionModeToStep() { setMode(Mode::step); }
void CorralFramework::setExecutionModeToStepSlowly() { setMode(Mode::stepSlowly); }

void CorralFramework::setRemoteLiveViewIsAvailable(bool available) {
    auto& page = PaddockPage::current();
    const auto liveView = page.liveView();
    const bool proxyInstalled = liveView && liveView->as<PaddockRemoteLiveViewProxy>();
    if (available && !proxyInstalled) {
        page.setLiveView(PaddockLiveViewable(PaddockRemoteLiveViewProxy::make()));
    } else if (!available && proxyInstalled) {
        page.setLiveView(std::nullopt);
    }
}

void CorralFramework::liveViewMessageConnectionOpened() {
    if (auto handler = liveViewMessageHandler()) handler->liveViewMessageConnectionOpened();
}

void CorralFramework::liveViewMessageConnectionClosed() {
    if (auto handler = liveViewMessageHandler()) handler->liveViewMessageConnectionClosed();
}

void CorralFramework::deliverLiveViewMessage(const base::ObjectRef& message) {
    auto handler = liveViewMessageHandler();
    if (!handler) return;  // not even converted
    if (auto value = paddockValueFromObjectRepresentation(message)) handler->receive(*value);
}

void CorralFramework::setPaddockConsolePrintHook(const base::Ref<base::Block>& block) {
    blockArgument("setPaddockConsolePrintHook:", block);
    // The page owns the block through the wrapper until the next call replaces it.
    auto wrapper = [block](const std::string& text) { (*block)(base::String::make(text)); };
    PaddockPageAccess::setConsolePrintHook(
        PaddockPage::current(),
        std::make_shared<const PaddockPageAccess::ConsolePrintHook>(std::move(wrapper)));
}
