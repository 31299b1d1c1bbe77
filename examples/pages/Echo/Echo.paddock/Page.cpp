// Echo: talks to a live view in another process. The page sends one value
// of every kind to the live view, which sends each straight back; the page
// waits for the answers, shows them and checks that every one came back
// unchanged and in order. Run it with the echo live view:
//
//     corral-host --live-view example-live-view-echo page-Echo.so Echo.paddock
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <sstream>
#include <vector>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

namespace {

// Text for a value, with dictionary keys in sorted order.
std::string describe(const PaddockValue& value) {
    std::ostringstream out;
    value.visit([&](const auto& payload) {
        using P = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<P, PaddockValue::Array>) {
            out << "[";
            for (std::size_t i = 0; i < payload.size(); ++i)
                out << (i ? ", " : "") << describe(payload[i]);
            out << "]";
        } else if constexpr (std::is_same_v<P, PaddockValue::Dictionary>) {
            std::map<std::string, std::string> sorted;
            for (const auto& [key, element] : payload) sorted[key] = describe(element);
            out << "{";
            bool first = true;
            for (const auto& [key, text] : sorted) {
                out << (first ? "" : ", ") << key << ": " << text;
                first = false;
            }
            out << "}";
        } else if constexpr (std::is_same_v<P, std::string>) {
            out << '"' << payload << '"';
        } else if constexpr (std::is_same_v<P, PaddockValue::Data>) {
            out << "<" << payload.size() << " bytes>";
        } else if constexpr (std::is_same_v<P, PaddockValue::Date>) {
            out << "date(" << payload.timeIntervalSinceReferenceDate << ")";
        } else if constexpr (std::is_same_v<P, PaddockValue::Integer>) {
            out << payload.value;
        } else if constexpr (std::is_same_v<P, PaddockValue::FloatingPoint>) {
            out << payload.value
                << (std::signbit(payload.value) && payload.value == 0 ? " (negative)" : "");
        } else {
            out << (payload.value ? "true" : "false");
        }
    });
    return out.str();
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Same case and payload at every depth; doubles compare bit for bit.
bool same(const PaddockValue& a, const PaddockValue& b) {
    if (a.tag() != b.tag()) return false;
    if (auto x = a.asArray()) {
        auto y = b.asArray();
        if (x->size() != y->size()) return false;
        for (std::size_t i = 0; i < x->size(); ++i)
            if (!same((*x)[i], (*y)[i])) return false;
        return true;
    }
    if (auto x = a.asDictionary()) {
        auto y = b.asDictionary();
        if (x->size() != y->size()) return false;
        for (const auto& [key, element] : *x) {
            auto other = y->find(key);
            if (other == y->end() || !same(element, other->second)) return false;
        }
        return true;
    }
    if (auto x = a.asString()) return *x == *b.asString();
    if (auto x = a.asData()) return *x == *b.asData();
    if (auto x = a.asDate())
        return sameBits(x->timeIntervalSinceReferenceDate,
                        b.asDate()->timeIntervalSinceReferenceDate);
    if (auto x = a.asInteger()) return *x == *b.asInteger();
    if (auto x = a.asFloatingPoint()) return sameBits(*x, *b.asFloatingPoint());
    return *a.asBoolean() == *b.asBoolean();
}

class Listener : public PaddockRemoteLiveViewProxyDelegate {
public:
    void proxy(const base::Ref<PaddockRemoteLiveViewProxy>&, const PaddockValue& message) override {
        replies.push_back(message);
    }
    void proxyConnectionDidClose(const base::Ref<PaddockRemoteLiveViewProxy>&) override {
        closed = true;
    }
    std::vector<PaddockValue> replies;
    bool closed = false;
};

}  // namespace

PADDOCK_PAGE_MAIN() {
    auto& page = PaddockPage::current();
    auto live = page.liveView();
    auto remote = live ? live->as<PaddockRemoteLiveViewProxy>() : nullptr;
    if (!remote) {
        base::print("No live view runs in another process: start the host with --live-view.");
        page.setAssessmentStatus(
            PaddockPage::AssessmentStatus::fail({"Run the page with its live view."}));
        return;
    }
    auto listener = std::make_shared<Listener>();
    remote->setDelegate(listener);

    using V = PaddockValue;
    const std::vector<V> questions = {
        V::string("Hello, live view! \xC3\xA9\xE2\x82\xAC"),
        V::string(""),
        V::integer(std::numeric_limits<std::int64_t>::min()),
        V::integer(std::numeric_limits<std::int64_t>::max()),
        V::floatingPoint(-0.0),
        V::floatingPoint(3.25e-300),
        V::boolean(true),
        V::boolean(false),
        V::data({0, 1, 2, 255}),
        V::data({}),
        V::date(V::Date{-978307200.5}),
        V::array({}),
        V::array({V::integer(1), V::string("two"), V::array({V::boolean(false)})}),
        V::dictionary({}),
        V::dictionary({{"name", V::string("Ada")},
                       {"scores", V::array({V::integer(3), V::floatingPoint(4.5)})},
                       {"nested", V::dictionary({{"when", V::date(V::Date{86400})}})}}),
    };
    for (const auto& question : questions) remote->send(question);
    bool answered = page.waitUntil(
        [&] { return listener->replies.size() >= questions.size() || listener->closed; },
        std::chrono::seconds(20));

    std::size_t matching = 0;
    for (std::size_t i = 0; i < listener->replies.size(); ++i) {
        bool match = i < questions.size() && same(listener->replies[i], questions[i]);
        matching += match ? 1 : 0;
        base::print("echo", i + 1, match ? "matches:" : "DIFFERS:", describe(listener->replies[i]));
    }
    if (answered && matching == questions.size() && listener->replies.size() == questions.size()) {
        base::print("All", questions.size(), "echoes came back unchanged and in order.");
        page.setAssessmentStatus(PaddockPage::AssessmentStatus::pass("The live view answered."));
    } else {
        base::print("Only", matching, "of", questions.size(), "echoes came back unchanged.");
        page.setAssessmentStatus(
            PaddockPage::AssessmentStatus::fail({"Is the live view running?"}));
    }
}
