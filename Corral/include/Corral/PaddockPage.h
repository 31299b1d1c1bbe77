#pragma once
// The running page: the one object through which page code and its host
// share the state of the page. Every change the host must act on is posted
// on the default notification centre with the page as sender; posting is
// synchronous, so every observer has run before a setter returns.
//
// The page takes no lock: use it from one thread at a time.

#include <functional>
#include <memory>
#include <string>

#include "Corral/CorralExport.h"
#include "base/NotificationCenter.h"
#include "base/Object.h"

class PaddockPageAccess;

class CORRAL_EXPORT PaddockPage final : public base::Object {
public:
    enum class ExecutionMode { run, runFaster, runFastest, step, stepSlowly };

    // The single page of the process, created on first use and never released.
    static PaddockPage& current();

    // How the host steps the page; written only by the host bridge.
    ExecutionMode executionMode() const noexcept { return executionMode_; }

    // Whether the process keeps running after the page's last statement.
    // Every assignment posts "PaddockPageNeedsIndefiniteExecutionDidChangeNotification",
    // also when the value does not change.
    bool needsIndefiniteExecution() const noexcept { return needsIndefiniteExecution_; }
    void setNeedsIndefiniteExecution(bool value);
    // Lets `change` edit the flag in place, then assigns the result (one post).
    void modifyNeedsIndefiniteExecution(const std::function<void(bool&)>& change);

    // Posts "PaddockPageFinishExecutionNotification", then blocks the calling
    // thread for up to 600 seconds (ten sleeps of 60 seconds) and ends the
    // process with status 0. Never returns.
    [[noreturn]] void finishExecution();

    std::string className() const override { return "PaddockPage"; }

    PaddockPage(const PaddockPage&) = delete;
    PaddockPage& operator=(const PaddockPage&) = delete;
    ~PaddockPage() override;

private:
    friend class PaddockPageAccess;
    using ConsolePrintHook = std::function<void(const std::string&)>;

    PaddockPage();
    void setExecutionMode(ExecutionMode mode);

    // Stored fields, in declaration order.
    ExecutionMode executionMode_ = ExecutionMode::run;
    bool needsIndefiniteExecution_ = false;
    // The host's console hook; null when absent. Held by shared pointer so a
    // print that is calling it keeps it alive if it is replaced meanwhile.
    std::shared_ptr<const ConsolePrintHook> paddockConsolePrintHook_;
};

// Names of the notifications page code may observe.
struct CORRAL_EXPORT PaddockNotificationName {
    // "PaddockPageExecutionModeDidChangeNotification": the execution mode changed.
    static const base::NotificationName& paddockPageExecutionModeDidChange();
};
