#pragma once
// Runs one page: initialises Corral through its bridge, installs the console
// hook and the source providers from the page document, sets the execution
// mode, observes every notification and runs the page's entry point, then
// keeps the main run loop going while the page asked to keep running.
//
// The key-value store is seeded from the document and saved after every
// change (see StorePersistence); with a live-view application the page
// talks to a live view in a second process (see LiveViewConnection).
//
// Exit statuses: 0 when the page returned or finished, 69 when the live
// view cannot be started, 70 when the page's entry point threw, 124 when
// --timeout ran out, 128+N on signal N.

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "Corral/base/NotificationCenter.h"
#include "Corral/base/Runtime.h"
#include "HostOptions.h"
#include "LiveViewConnection.h"
#include "PageDocument.h"
#include "PageModule.h"
#include "StorePersistence.h"
#include "Transcript.h"

namespace host {

// Gives the transcript its own copy of standard output and points the
// process's standard output at /dev/null: everything page code prints
// reaches the transcript through the console hook, so the raw copy that
// printing also writes to standard output would only duplicate it (and
// break a JSON transcript). Returns the transcript's stream.
std::FILE* takeOverStandardOutput();

class Host {
public:
    // The transcript goes to `out`; see takeOverStandardOutput().
    Host(HostOptions options, PageDocument document, PageModule module, std::FILE* out);
    int run();

private:
    void observeNotifications();
    void installBridge();
    void watchSignals();
    // Runs the page and keeps it running as long as it asks; the exit status.
    int runPage();
    // Closes the store and the live view and flushes the transcript; returns `status`.
    int finish(int status);
    // finish(), then ends the process at once.
    [[noreturn]] void endRun(int status);

    HostOptions options_;
    PageDocument document_;
    PageModule module_;
    Transcript transcript_;
    const base::Class& corral_;
    StorePersistence store_;
    std::unique_ptr<LiveViewConnection> liveView_;
    std::vector<base::ScopedObserver> observers_;
    std::atomic<bool> wantsToKeepRunning_{false};
    std::mutex finishMutex_;
    bool finished_ = false;
};

}  // namespace host
