#pragma once
// The page process: runs one page inside the process that corral-host's
// supervisor started for it. It initialises Corral through its bridge,
// installs the source providers from the page document, seeds the
// key-value store, sets the execution mode, observes every notification
// and runs the page's entry point, then keeps the main run loop going while
// the page asked to keep running.
//
// It reports on `events` in the page-process protocol (see the README):
// every notification as its event, the live view as pictures (see
// LiveViewPresenter), and last an "exit" event with the cause:
// "returned", "finished", "error" or "signal". It takes commands from
// `commands` on a thread of its own and carries them out on the page's
// thread (the main run loop), so a command reaches a page that is busy only
// when it next lets the run loop turn.
//
// What the page prints is not reported here: the supervisor reads the
// process's standard output and error itself.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Corral/base/Dictionary.h"
#include "Corral/base/NotificationCenter.h"
#include "Corral/base/Runtime.h"
#include "HostOptions.h"
#include "LiveViewConnection.h"
#include "LiveViewPresenter.h"
#include "PageDocument.h"
#include "PageModule.h"
#include "ProtocolWriter.h"

namespace host {

class Host {
public:
    Host(HostOptions options, PageDocument document, PageModule module, int events, int commands,
         base::Ref<base::Dictionary> storeContents);
    // Runs the page and reports how it ended (the "exit" event); the
    // process's exit status. The process should end with it soon: commands
    // that arrive from now on are not carried out.
    int run();

private:
    void observeNotifications();
    void relayDiagnostics();
    void installBridge();
    void connectProtocolLiveView();
    void watchSignals();
    void readCommands();
    void perform(const Json& command);
    void setMode(const std::string& mode);
    void sendStoreContents();
    // How a run ended, for the "exit" event.
    struct Ending {
        int status;
        std::string cause;
        std::string message;
    };
    Ending runPage();
    // Flushes, closes the live view and sends the "exit" event; false, doing
    // nothing, when the run was reported already.
    bool report(int status, const std::string& cause, const std::string& message);
    // report(), then ends the process at once.
    [[noreturn]] void endRun(int status, const std::string& cause, const std::string& message);

    HostOptions options_;
    PageDocument document_;
    PageModule module_;
    ProtocolWriter events_;
    int commands_;
    base::Ref<base::Dictionary> seed_;
    const base::Class& corral_;
    std::string mode_;
    std::map<std::string, base::ObjectRef> store_;  // what the page's store holds
    std::unique_ptr<LiveViewPresenter> presenter_;
    std::unique_ptr<LiveViewConnection> liveView_;
    std::vector<base::ScopedObserver> observers_;
    std::atomic<bool> wantsToKeepRunning_{false};
    std::mutex exitMutex_;  // guards exiting_
    bool exiting_ = false;  // the run has been reported: post no more commands
};

// The execution modes by name, with the bridge entry that sets each.
const std::map<std::string, std::string>& executionModeSelectors();

}  // namespace host
