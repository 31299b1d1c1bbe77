#pragma once
// The running page: the one object through which page code and its host
// share the state of the page. Every change the host must act on is posted
// on the default notification centre with the page as sender; posting is
// synchronous, so every observer has run before a setter returns.
//
// The page takes no lock: use it from one thread at a time.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Corral/CorralExport.h"
#include "Corral/PaddockLiveViewable.h"
#include "Corral/PaddockValue.h"
#include "Corral/base/Duration.h"
#include "Corral/base/Geometry.h"
#include "Corral/base/NotificationCenter.h"
#include "Corral/base/Object.h"
#include "Corral/base/URL.h"
#include "Corral/declarative/AnyView.h"
#include "Corral/ui/View.h"

class PaddockKeyValueStore;
class PaddockPageAccess;

class CORRAL_EXPORT PaddockPage final : public base::Object {
public:
    enum class ExecutionMode { run, runFaster, runFastest, step, stepSlowly };

    // Whether the learner has solved the page: a pass with an optional
    // message, or a failure with hints (possibly none) and an optional
    // solution. Inspect it with asPass()/asFail() or visit().
    class AssessmentStatus {
    public:
        struct Pass {
            std::optional<std::string> message;
        };
        struct Fail {
            std::vector<std::string> hints;
            std::optional<std::string> solution;
        };

        static AssessmentStatus pass(std::optional<std::string> message = std::nullopt) {
            return AssessmentStatus(Pass{std::move(message)});
        }
        static AssessmentStatus fail(std::vector<std::string> hints = {},
                                     std::optional<std::string> solution = std::nullopt) {
            return AssessmentStatus(Fail{std::move(hints), std::move(solution)});
        }

        const Pass* asPass() const noexcept { return std::get_if<Pass>(&case_); }
        Pass* asPass() noexcept { return std::get_if<Pass>(&case_); }
        const Fail* asFail() const noexcept { return std::get_if<Fail>(&case_); }
        Fail* asFail() noexcept { return std::get_if<Fail>(&case_); }

        // Calls the visitor with the Pass or the Fail; it must take both.
        template <class Visitor>
        decltype(auto) visit(Visitor&& visitor) const {
            return std::visit(std::forward<Visitor>(visitor), case_);
        }

    private:
        friend class ::PaddockPageAccess;
        struct SerializationError;

        explicit AssessmentStatus(std::variant<Pass, Fail> status) : case_(std::move(status)) {}
        // Decodes the dictionary form in which a host pushes a status;
        // throws SerializationError when it is malformed.
        explicit AssessmentStatus(const PaddockValue& paddockValue);

        std::variant<Pass, Fail> case_;
    };

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

    // What the host shows beside the page code: absent until page code sets
    // one. The page owns it. Every assignment of a present live view first
    // sets needsIndefiniteExecution to true (which posts), then posts
    // "PaddockPageLiveViewDidChangeNotification" with the view under
    // "PaddockPageLiveView" or the view controller under
    // "PaddockPageLiveViewController"; assigning the live view already
    // installed posts both again. Clearing an installed live view posts an
    // empty user-info dictionary and leaves needsIndefiniteExecution alone;
    // clearing when there is none posts nothing. A remote live-view proxy
    // installed by the host is stored without any post. When an observer
    // assigns another live view during these posts, every observer hears
    // last of the live view the page holds when the assignment returns.
    std::optional<PaddockLiveViewable> liveView() const { return liveView_; }
    void setLiveView(std::optional<PaddockLiveViewable> liveView);
    // Shows declarative content: a new hosting controller with `content` as
    // its root view, made on every call, becomes the live view (so it
    // reaches the host as a view controller).
    void setLiveView(const declarative::AnyView& content);
    // Lets `change` edit the live view in place, then assigns the result.
    void modifyLiveView(const std::function<void(std::optional<PaddockLiveViewable>&)>& change);

    // Whether the page asks the host to show its live view full screen.
    // Posts "PaddockPageWantsFullScreenLiveViewDidChange" when the value
    // changes, with the new value under "PaddockPageWantsFullScreenLiveView".
    bool wantsFullScreenLiveView() const noexcept { return wantsFullScreenLiveView_; }
    void setWantsFullScreenLiveView(bool value);
    // Lets `change` edit the flag in place, then assigns the result.
    void modifyWantsFullScreenLiveView(const std::function<void(bool&)>& change);

    // Whether the learner has solved the page; absent until someone says.
    // Every assignment posts "PaddockPageAssessmentStatusDidChange" with the
    // status in the user info, also when it does not change and when it is
    // absent. A status the host pushes in is stored without a post.
    std::optional<AssessmentStatus> assessmentStatus() const { return assessmentStatus_; }
    void setAssessmentStatus(std::optional<AssessmentStatus> status);
    // Lets `change` edit the status in place, then assigns the result (one post).
    void modifyAssessmentStatus(
        const std::function<void(std::optional<AssessmentStatus>&)>& change);

    // The key-value store shared with the host: PaddockKeyValueStore::current().
    PaddockKeyValueStore& keyValueStore() const;

    // Posts "PaddockPageFinishExecutionNotification", then blocks the calling
    // thread for up to 600 seconds (ten sleeps of 60 seconds) and ends the
    // process with status 0. Never returns.
    [[noreturn]] void finishExecution();

    // Runs the host's pending work for this page (delivered live-view
    // messages, connection events) on the calling thread until `condition`
    // holds or `timeout` passes, so page code can send a question and use
    // the answer on its next line. Returns whether the condition held. Call
    // it from the thread that runs the page.
    // Timeouts beyond what the clock can name wait for ever.
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::steady_clock::duration timeout);
    template <class Rep, class Period>
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::duration<Rep, Period> timeout) {
        return waitUntil(
            condition, base::saturatingDurationCast<std::chrono::steady_clock::duration>(timeout));
    }

    // The learner's own sources, as the host's providers answer them at this
    // moment (nothing is cached). Before the host installs a provider the
    // answers are empty: "", no names, no files, no text.
    std::string text() const;
    std::vector<std::string> userModuleNames() const;
    std::vector<std::string> listSourceFiles(const std::string& moduleName) const;
    std::optional<std::string> getText(const std::string& fileName,
                                       const std::string& moduleName) const;

    // Where navigateTo() asks the host to go.
    class PageNavigation {
    public:
        enum class Case { pageReference, previous, next };
        // A page named by the page code's own reference string.
        static PageNavigation pageReference(std::string reference) {
            return PageNavigation(Case::pageReference, std::move(reference));
        }
        static PageNavigation previous() { return PageNavigation(Case::previous, {}); }
        static PageNavigation next() { return PageNavigation(Case::next, {}); }

        Case kind() const noexcept { return kind_; }
        // The reference of a pageReference; empty for the other cases.
        const std::string& reference() const noexcept { return reference_; }

    private:
        PageNavigation(Case kind, std::string reference)
            : kind_(kind), reference_(std::move(reference)) {}
        Case kind_;
        std::string reference_;
    };

    // Requests to the host, each posted as one "PaddockPageRequestsToHandleLink"
    // notification whose "PaddockPageLinkRequestPayload" is the link.
    void navigateTo(const PageNavigation& page);
    void openPaddock(const std::string& contentIdentifier,
                     std::optional<std::int64_t> pageIndex = std::nullopt);
    void openApplication(const std::string& bundleIdentifier,
                         std::optional<std::int64_t> bazaarItemIdentifier = std::nullopt);
    // Shows a glossary entry. Where the host may show it is sent in window
    // coordinates under "PaddockPageRequestsShowGlossaryLocation": with a
    // view, `location` in the view's coordinates (by default a 2 by 2 rect
    // around the centre of the view's bounds size) converted to window
    // coordinates; without one, `location` as given, if any. Nothing is
    // posted for a name that is not valid UTF-8.
    void showGlossaryEntry(const std::string& name,
                           std::optional<base::Rect> location = std::nullopt,
                           const base::Ref<ui::View>& view = nullptr);

    std::string className() const override { return "PaddockPage"; }

    PaddockPage(const PaddockPage&) = delete;
    PaddockPage& operator=(const PaddockPage&) = delete;
    ~PaddockPage() override;

private:
    friend class PaddockPageAccess;
    using ConsolePrintHook = std::function<void(const std::string&)>;
    using LiveViewMessageSender = std::function<void(const base::ObjectRef&)>;
    using TextProvider = std::function<std::string()>;
    using NamesProvider = std::function<std::vector<std::string>()>;
    using FileListProvider = std::function<std::vector<std::string>(const std::string&)>;
    using FileTextProvider =
        std::function<std::optional<std::string>(const std::string&, const std::string&)>;

    PaddockPage();
    void setExecutionMode(ExecutionMode mode);

    void postLinkRequest(std::string payload, std::optional<base::Rect> location);

    // Stored fields, in declaration order. The providers are never null; each
    // read holds the provider it called until the call returns.
    std::shared_ptr<const TextProvider> paddockTextProvider_;
    std::shared_ptr<const NamesProvider> userModuleNamesProvider_;
    std::shared_ptr<const FileListProvider> userModuleSourceFileListProvider_;
    std::shared_ptr<const FileTextProvider> userModuleSourceFileTextProvider_;
    ExecutionMode executionMode_ = ExecutionMode::run;
    bool needsIndefiniteExecution_ = false;
    // Hands a live-view message (in object representation) to the host; null
    // until the host installs one. Held by shared pointer so a send keeps the
    // sender it read alive if it is replaced meanwhile.
    std::shared_ptr<const LiveViewMessageSender> liveViewMessageSender_;
    std::optional<PaddockLiveViewable> liveView_;
    std::uint64_t liveViewAssignments_ = 0;  // numbers each assignment that changes liveView_
    bool wantsFullScreenLiveView_ = false;
    std::optional<AssessmentStatus> assessmentStatus_;
    // The host's console hook; null when absent. Prints read it on whatever
    // thread they run, so it is read and replaced atomically; a print that
    // is calling it keeps it alive if it is replaced meanwhile.
    std::atomic<std::shared_ptr<const ConsolePrintHook>> paddockConsolePrintHook_;
};

// The shared data directory is not supported: the first use stops the
// process with a fatal error. Never yields a URL.
CORRAL_EXPORT const base::URL& paddockSharedDataDirectory();

// Names of the notifications page code may observe.
struct CORRAL_EXPORT PaddockNotificationName {
    // "PaddockPageExecutionModeDidChangeNotification": the execution mode changed.
    static const base::NotificationName& paddockPageExecutionModeDidChange();
};
