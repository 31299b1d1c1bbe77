#pragma once
// Reads one XML document three ways (the full parser alone, the scanner
// alone, and readXml, which combines them) and says how they disagree. The
// scanner may leave a document to the full parser, but what it accepts must
// be accepted by the full parser with the same values, what it reported
// before giving up must be what the full parser reports first, and readXml
// must report and fail exactly as the full parser does.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Corral/plist/PropertyListStream.h"
#include "PropertyListCodec.h"

namespace plisttest {

// Writes down every call as a line of text.
class EventLog final : public base::PropertyListSink {
public:
    std::vector<std::string> events;

    void beginDictionary() override { events.emplace_back("{"); }
    void key(std::string_view text) override { events.push_back("key " + std::string(text)); }
    void beginArray() override { events.emplace_back("("); }
    void endContainer() override { events.emplace_back("end"); }
    void string(std::string_view text) override { events.push_back("string " + std::string(text)); }
    void boolean(bool value) override { events.emplace_back(value ? "true" : "false"); }
    void integer(std::int64_t value) override {
        events.push_back("integer " + std::to_string(value));
    }
    void unsignedInteger(std::uint64_t value) override {
        events.push_back("unsigned " + std::to_string(value));
    }
    void real(double value) override { events.push_back("real " + hexadecimal(value)); }
    void date(double seconds) override { events.push_back("date " + hexadecimal(seconds)); }
    void data(std::span<const std::uint8_t> bytes) override {
        events.push_back("data " + std::string(bytes.begin(), bytes.end()));
    }

private:
    static std::string hexadecimal(double value) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%a", value);
        return buffer;
    }
};

// Counts the calls it takes and throws `failure` at the call numbered
// `failAt`.
template <class Failure>
class FailingSink final : public base::PropertyListSink {
public:
    FailingSink(std::int64_t failAt, Failure failure) : failAt_(failAt), failure_(failure) {}
    std::int64_t calls = 0;

    void beginDictionary() override { call(); }
    void key(std::string_view) override { call(); }
    void beginArray() override { call(); }
    void endContainer() override { call(); }
    void string(std::string_view) override { call(); }
    void boolean(bool) override { call(); }
    void integer(std::int64_t) override { call(); }
    void unsignedInteger(std::uint64_t) override { call(); }
    void real(double) override { call(); }
    void date(double) override { call(); }
    void data(std::span<const std::uint8_t>) override { call(); }

private:
    void call() {
        if (++calls == failAt_) throw failure_;
    }
    std::int64_t failAt_;
    Failure failure_;
};

struct XmlReading {
    std::vector<std::string> events;
    std::optional<std::string> failure;  // the reason, when refused
    bool operator==(const XmlReading&) const = default;
};

inline std::string firstDifference(const std::vector<std::string>& a,
                                   const std::vector<std::string>& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    auto at = [i](const std::vector<std::string>& events) {
        return i < events.size() ? "\"" + events[i] + "\"" : std::string("nothing");
    };
    return at(a) + " where the other has " + at(b);
}

template <class Read>
XmlReading readWith(Read read) {
    XmlReading reading;
    EventLog log;
    try {
        read(log);
    } catch (const base::PropertyListError& error) {
        reading.failure = error.reason();
    }
    reading.events = std::move(log.events);
    return reading;
}

// Empty when the three readings agree as they must; else what is wrong.
inline std::string compareXmlReaders(std::span<const std::uint8_t> bytes,
                                     bool* scannerAccepted = nullptr) {
    using namespace base::plist;
    XmlReading full =
        readWith([&](base::PropertyListSink& sink) { readXmlWithFullParser(bytes, sink); });
    bool accepted = false;
    XmlReading scanned =
        readWith([&](base::PropertyListSink& sink) { accepted = readXmlWithScanner(bytes, sink); });
    XmlReading combined = readWith([&](base::PropertyListSink& sink) { readXml(bytes, sink); });
    if (scannerAccepted) *scannerAccepted = accepted;
    if (scanned.failure) return "the scanner failed instead of giving up: " + *scanned.failure;
    if (accepted && full.failure)
        return "the scanner accepts what the full parser refuses: " + *full.failure;
    if (accepted && scanned.events != full.events)
        return "the scanner reports other values than the full parser: " +
               firstDifference(scanned.events, full.events);
    if (scanned.events.size() > full.events.size() ||
        !std::equal(scanned.events.begin(), scanned.events.end(), full.events.begin()))
        return "the scanner reported values before giving up that the full parser does not";
    if (!(combined == full))
        return "reading reports or fails otherwise than the full parser (" +
               combined.failure.value_or("accepted") + " against " +
               full.failure.value_or("accepted") + ")";
    return {};
}

}  // namespace plisttest
