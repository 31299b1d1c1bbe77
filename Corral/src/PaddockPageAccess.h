#pragma once
// Library-internal access to the page's private fields, for the host bridge
// and for tests.

#include <functional>
#include <memory>

#include "Corral/PaddockPage.h"
#include "Corral/base/Block.h"

// How finishExecution() waits and ends the process. Tests replace it so the
// ten minutes need not pass.
struct ProcessControl {
    std::function<void(unsigned seconds)> sleepSeconds;
    std::function<void(int status)> exit;
};

class PaddockPageAccess {
public:
    using ConsolePrintHook = PaddockPage::ConsolePrintHook;
    using AssessmentStatus = PaddockPage::AssessmentStatus;
    using SerializationError = AssessmentStatus::SerializationError;

    // Decodes a pushed status; throws SerializationError (declared in
    // AssessmentStatusSerializationError.h) when it is malformed.
    static AssessmentStatus decodeAssessmentStatus(const PaddockValue& value) {
        return AssessmentStatus(value);
    }
    // Stores a status without announcing it, as the host's entry does.
    static void storeAssessmentStatus(PaddockPage& page, std::optional<AssessmentStatus> status) {
        page.assessmentStatus_ = std::move(status);
    }

    static void setExecutionMode(PaddockPage& page, PaddockPage::ExecutionMode mode) {
        page.setExecutionMode(mode);
    }
    static std::shared_ptr<const ConsolePrintHook> consolePrintHook(const PaddockPage& page) {
        return page.paddockConsolePrintHook_.load();
    }
    static void setConsolePrintHook(PaddockPage& page,
                                    std::shared_ptr<const ConsolePrintHook> hook) {
        page.paddockConsolePrintHook_.store(std::move(hook));
    }
    CORRAL_EXPORT static ProcessControl& processControl();

    using LiveViewMessageSender = PaddockPage::LiveViewMessageSender;
    static std::shared_ptr<const LiveViewMessageSender> liveViewMessageSender(
        const PaddockPage& page) {
        return page.liveViewMessageSender_;
    }
    static void setLiveViewMessageSender(PaddockPage& page,
                                         std::shared_ptr<const LiveViewMessageSender> sender) {
        page.liveViewMessageSender_ = std::move(sender);
    }

    // Install a host block as a source provider. The page owns the block
    // through the wrapper until the same entry replaces it.
    static void setTextProvider(PaddockPage& page, base::Ref<base::Block> block);
    static void setNamesProvider(PaddockPage& page, base::Ref<base::Block> block);
    static void setFileListProvider(PaddockPage& page, base::Ref<base::Block> block);
    static void setFileTextProvider(PaddockPage& page, base::Ref<base::Block> block);
};
