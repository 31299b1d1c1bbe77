// Reading on a second thread against reading straight into the sink: the
// same calls in the same order, the same failure, whichever side fails and
// however small the blocks handed over.

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <stdexcept>

#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"
#include "Corral/plist/PropertyListPipe.h"
#include "PropertyListTestSupport.h"
#include "XmlReaderComparison.h"

using namespace plisttest;
using base::PropertyListPipeOptions;
using base::PropertyListSink;

namespace {

// From one call per block (one block in all, so that every call waits for
// the one before to be played) to the usual sizes.
const PropertyListPipeOptions pipeShapes[] = {{1, 1}, {20, 2}, {97, 3}, {4096, 4}, {1 << 18, 4}};

std::string shapeName(const PropertyListPipeOptions& options) {
    return std::to_string(options.blockSize) + " x " + std::to_string(options.blockCount);
}

XmlReading readDirectly(std::span<const std::uint8_t> bytes) {
    return readWith([&](PropertyListSink& sink) { base::readPropertyList(bytes, sink); });
}

XmlReading readAlong(std::span<const std::uint8_t> bytes, const PropertyListPipeOptions& options) {
    return readWith(
        [&](PropertyListSink& sink) { base::readPropertyListPipelined(bytes, sink, options); });
}

// Reports `count` integers, then fails with `failure` (or, without one,
// goes on until it is stopped).
template <class Failure>
void reportIntegers(PropertyListSink& sink, std::int64_t count, Failure failure) {
    sink.beginArray();
    for (std::int64_t i = 0; count < 0 || i < count; ++i) sink.integer(i);
    throw failure;
}

// The failure of the sink in these tests.
struct SinkFailure {};

FailingSink<SinkFailure> failingAt(std::int64_t call) { return {call, SinkFailure{}}; }

}  // namespace

TEST(PropertyListPipe, PlaysWhatTheReaderReportsOnGeneratedLists) {
    int accepted = 0, refused = 0;
    for (unsigned seed = 0; seed < 300; ++seed) {
        RandomTree random(seed);
        auto root = random.value(0);
        auto format = seed % 2 ? base::PropertyListFormat::xml : base::PropertyListFormat::binary;
        auto bytes = base::writePropertyList(root, format);
        // Some go bad part way: cut short, or a byte changed.
        if (seed % 5 == 1) bytes.resize(bytes.size() * (random.next() % 100) / 100);
        if (seed % 5 == 2 && !bytes.empty())
            bytes[random.next() % bytes.size()] = static_cast<std::uint8_t>(random.next());
        XmlReading direct = readDirectly(bytes);
        (direct.failure ? refused : accepted)++;
        for (const auto& shape : pipeShapes) {
            XmlReading along = readAlong(bytes, shape);
            ASSERT_EQ(along.failure, direct.failure) << "seed " << seed << ", " << shapeName(shape);
            ASSERT_TRUE(along.events == direct.events)
                << "seed " << seed << ", " << shapeName(shape) << ": "
                << firstDifference(along.events, direct.events);
        }
    }
    // Both kinds were met in numbers.
    EXPECT_GT(accepted, 150);
    EXPECT_GT(refused, 40);
}

TEST(PropertyListPipe, TextsOutsideTheStableBytesAreCopiedBeforeTheyChange) {
    const std::string stable = "inside the input" + std::string(5000, 'x');
    auto stableBytes = bytesOf(stable);
    std::string_view view(stable);
    for (const auto& shape : pipeShapes) {
        EventLog log;
        base::pipePropertyList(
            stableBytes,
            [&](PropertyListSink& sink) {
                sink.beginArray();
                sink.string(view.substr(0, 6));          // inside
                sink.string(view.substr(0));             // inside, larger than most blocks
                sink.key(view.substr(view.size() - 3));  // inside, at the very end
                // A reader's own buffer, overwritten as soon as each call
                // returns, and texts that only start inside the input.
                std::string buffer = "scratch";
                sink.string(buffer);
                buffer.assign(9000, 'y');
                sink.data(bytesOf(buffer));
                buffer = "gone";
                std::string straddling = stable + "tail";
                sink.string(std::string_view(stable.data() + stable.size() - 2, 0));
                sink.string(std::string_view(straddling).substr(stable.size() - 2));
                straddling.clear();
                sink.string({});
                sink.endContainer();
            },
            log);
        std::vector<std::string> expected = {
            "(",       "string inside",  "string " + stable,
            "key xxx", "string scratch", "data " + std::string(9000, 'y'),
            "string ", "string xxtail",  "string ",
            "end"};
        EXPECT_TRUE(log.events == expected)
            << shapeName(shape) << ": " << firstDifference(log.events, expected);
    }
}

TEST(PropertyListPipe, AReaderFailureArrivesAfterEverythingReportedBeforeIt) {
    for (const auto& shape : pipeShapes) {
        XmlReading reading = readWith([&](PropertyListSink& sink) {
            base::pipePropertyList(
                {},
                [](PropertyListSink& recorder) {
                    reportIntegers(recorder, 10000, base::PropertyListError("late failure"));
                },
                sink, shape);
        });
        ASSERT_EQ(reading.failure, "late failure") << shapeName(shape);
        ASSERT_EQ(reading.events.size(), 10001u) << shapeName(shape);
        EXPECT_EQ(reading.events.back(), "integer 9999");
        // Failures of any type pass through.
        EventLog log;
        EXPECT_THROW(base::pipePropertyList(
                         {}, [](PropertyListSink& s) { reportIntegers(s, 500, std::bad_alloc()); },
                         log, shape),
                     std::bad_alloc);
        EXPECT_EQ(log.events.size(), 501u);
    }
}

TEST(PropertyListPipe, ASinkFailureStopsTheReaderEvenWhileItWaitsForABlock) {
    for (const auto& shape : pipeShapes) {
        for (std::int64_t failAt : {1, 2, 50, 5000}) {
            auto sink = failingAt(failAt);
            std::atomic<bool> readerStopped = false;
            // The reader never ends by itself: only the stop ends it, and a
            // missing stop would hang here.
            EXPECT_THROW(base::pipePropertyList(
                             {},
                             [&](PropertyListSink& recorder) {
                                 try {
                                     reportIntegers(recorder, -1, 0);
                                 } catch (...) {
                                     readerStopped = true;
                                     throw;
                                 }
                             },
                             sink, shape),
                         SinkFailure)
                << shapeName(shape) << ", failing at " << failAt;
            EXPECT_TRUE(readerStopped);
            EXPECT_EQ(sink.calls, failAt);
        }
    }
}

TEST(PropertyListPipe, TheFirstFailureInTheOrderOfTheCallsWins) {
    for (const auto& shape : pipeShapes) {
        // The sink fails before the reader would.
        auto early = failingAt(40);
        EXPECT_THROW(base::pipePropertyList(
                         {},
                         [](PropertyListSink& s) {
                             reportIntegers(s, 100, base::PropertyListError("reader"));
                         },
                         early, shape),
                     SinkFailure);
        // The reader fails before the sink would.
        auto late = failingAt(40);
        EXPECT_THROW(base::pipePropertyList(
                         {},
                         [](PropertyListSink& s) {
                             reportIntegers(s, 20, base::PropertyListError("reader"));
                         },
                         late, shape),
                     base::PropertyListError);
        EXPECT_EQ(late.calls, 21);
        // The sink fails on the last call of a reading that succeeded.
        auto last = failingAt(3);
        EXPECT_THROW(base::pipePropertyList(
                         {},
                         [](PropertyListSink& s) {
                             s.beginArray();
                             s.boolean(true);
                             s.endContainer();
                         },
                         last, shape),
                     SinkFailure);
    }
}
