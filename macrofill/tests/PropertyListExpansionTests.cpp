// The one-pass expansion of a whole list against the expansion through
// objects: same outcome, same message, same bytes.

#include <gtest/gtest.h>

#include <random>

#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"
#include "Corral/plist/PropertyListStream.h"
#include "Corral/testing/HostilePropertyLists.h"
#include "Corral/testing/PassOnSink.h"
#include "ExpansionFilter.h"
#include "PropertyListExpansion.h"

using namespace base;
using namespace macrofill;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string describe(const PropertyListExpansion& e) {
    std::string place = e.failurePath.empty() ? "" : " (at " + e.failurePath.text() + ")";
    return std::to_string(static_cast<int>(e.outcome)) + " " + e.failure + place + " " +
           std::string(e.bytes.begin(), e.bytes.end());
}

// The same, with a list described by its value: a binary list may be laid
// out in more than one way, so it is read and written again, in the one
// way the writer has.
std::string describeValue(const PropertyListExpansion& e) {
    if (e.outcome != PropertyListExpansion::Outcome::expanded) return describe(e);
    auto list = readPropertyList(e.bytes);
    auto again = writePropertyList(list.root, list.format);
    return "0 " + std::string(again.begin(), again.end());
}

// An output that keeps what it is given, and counts the restarts and the
// bytes it had been given before them.
class MemoryOutput final : public ExpansionOutput {
public:
    std::vector<std::uint8_t> bytes;
    int restarts = 0;
    std::size_t discarded = 0;

    void write(std::span<const std::uint8_t> piece) override {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    std::span<const std::uint8_t> written(std::uint64_t offset, std::size_t length) override {
        if (offset > bytes.size() || length > bytes.size() - offset) return {};
        return std::span(bytes).subspan(offset, length);
    }
    void restart() override {
        ++restarts;
        discarded += bytes.size();
        bytes.clear();
    }
};

// Reading on its own thread, always, handing over blocks of a few calls.
ExpansionThreads readAlongInSmallBlocks(std::size_t blockSize = 24) {
    ExpansionThreads threads;
    threads.secondThreadFrom = 0;
    threads.pipe = {blockSize, 2};
    return threads;
}

// Expanded with the reading on its own thread into `output`; described
// with the output's bytes when it succeeds.
std::string readingAlong(std::span<const std::uint8_t> input, const Dictionary& definitions,
                         MemoryOutput& output, std::size_t blockSize = 24) {
    std::vector<ObjectRef> keep;
    auto expansion =
        expandPropertyList(input, definitions, keep, &output, readAlongInSmallBlocks(blockSize));
    if (expansion.outcome == PropertyListExpansion::Outcome::expanded)
        expansion.bytes = output.bytes;
    return describe(expansion);
}

// The one pass, the one pass with the reading on a thread of its own, and
// objects: the same outcome, message and bytes.
std::string bothWays(std::span<const std::uint8_t> input, const Dictionary& definitions) {
    std::vector<ObjectRef> keep;
    auto streamed = expandPropertyList(input, definitions, keep);
    MacroExpander expander(definitions);
    auto objects = expandPropertyListObjects(input, expander, keep);
    auto start = [&] {
        return std::string(input.begin(), input.begin() + std::min<std::size_t>(input.size(), 200));
    };
    EXPECT_EQ(describeValue(streamed), describeValue(objects)) << start();
    MemoryOutput output;
    std::vector<ObjectRef> keepAlong;
    auto along =
        expandPropertyList(input, definitions, keepAlong, &output, readAlongInSmallBlocks());
    if (along.outcome == PropertyListExpansion::Outcome::expanded) along.bytes = output.bytes;
    EXPECT_EQ(describeValue(along), describeValue(streamed)) << start();
    return describe(streamed);
}

std::string bothWays(const std::string& input, const Dictionary& definitions) {
    return bothWays(bytesOf(input), definitions);
}

class RandomList {
public:
    explicit RandomList(unsigned seed) : random_(seed) {}

    ObjectRef value(int depth) {
        switch (random_() % (depth > 3 ? 6 : 8)) {
            case 0:
            case 1:
            case 2:
                return String::make(text());
            case 3:
                return Number::initWithInteger(static_cast<std::int64_t>(random_() % 1000) - 500);
            case 4:
                return Number::initWithBool(random_() % 2);
            case 5:
                return random_() % 2
                           ? ObjectRef(Date::withTimeIntervalSinceReferenceDate(random_() % 100000))
                           : ObjectRef(Data::make(std::vector<std::uint8_t>(random_() % 5, 7)));
            case 6: {
                std::vector<ObjectRef> elements;
                for (unsigned i = 0, n = random_() % 4; i < n; ++i)
                    elements.push_back(value(depth + 1));
                return Array::make(std::move(elements));
            }
            default: {
                Dictionary::Builder builder;
                for (unsigned i = 0, n = random_() % 4; i < n; ++i)
                    builder.set(text(), value(depth + 1));
                return builder.build();
            }
        }
    }

    std::string text() {
        static const char* pieces[] = {"a",  "$(A)", "$(B)", "$(N)",      "$(LOOP)",
                                       "$(", ")",    "$",    "x\xC3\xA9", "\x01"};
        std::string text;
        for (unsigned i = 0, n = random_() % 4; i < n; ++i)
            text += pieces[random_() % (rareControl() ? 10 : 9)];
        return text;
    }

    unsigned next() { return static_cast<unsigned>(random_()); }

private:
    bool rareControl() { return random_() % 20 == 0; }
    std::mt19937 random_;
};

// Definitions for the names of RandomList's texts: one that expands, one
// that expands to another, one that refers to itself.
Ref<Dictionary> generatedListDefinitions() {
    Dictionary::Builder builder;
    builder.set("A", String::make("alpha"));
    builder.set("B", String::make("<$(A)>"));
    builder.set("LOOP", String::make("$(LOOP)"));
    return builder.build();
}

}  // namespace

TEST(PropertyListExpansion, OnePassAgreesWithObjectsOnGeneratedLists) {
    auto definitions = generatedListDefinitions();
    auto harmless =
        Dictionary::withStringKeys({{"A", String::make("1")}, {"N", String::make("2")}});
    auto withNumber = Dictionary::withStringKeys({{"N", Number::initWithInteger(1)}});
    int written = 0;
    for (unsigned seed = 0; seed < 1500; ++seed) {
        RandomList random(seed);
        ObjectRef root = random.value(0);
        auto format = seed % 2 ? PropertyListFormat::xml : PropertyListFormat::binary;
        std::string input;
        try {
            auto bytes = writePropertyList(root, format);
            input.assign(bytes.begin(), bytes.end());
        } catch (const PropertyListError&) {
            continue;  // a control character in XML
        }
        // Now and then a list that goes bad after its start.
        if (random.next() % 10 == 0) input = input.substr(0, input.size() - 3) + "oops";
        const Dictionary& table = seed % 3 == 0   ? *definitions
                                  : seed % 3 == 1 ? *harmless
                                                  : *withNumber;
        written += bothWays(input, table).rfind("0 ", 0) == 0;
    }
    EXPECT_GT(written, 300);
}

TEST(PropertyListExpansion, ADuplicateKeyKeepsItsFirstPlaceAndLastValue) {
    auto definitions = Dictionary::withStringKeys({{"A", String::make("alpha")}});
    std::string result = bothWays(
        "<plist><dict><key>k</key><string>1</string><key>j</key><string>$(A)</string>"
        "<key>k</key><string>2 $(A)</string></dict></plist>",
        *definitions);
    EXPECT_NE(result.find("<key>k</key>\n\t<string>2 alpha</string>\n\t<key>j</key>"),
              std::string::npos)
        << result;
}

TEST(PropertyListExpansion, FailuresAreReportedInTheOrderOfTheSteps) {
    auto definitions = Dictionary::withStringKeys({{"N", Number::initWithInteger(1)}});
    // An expansion failure early in a list that is not valid further on:
    // the list is reported invalid.
    EXPECT_EQ(bothWays("<plist><array><string>$(N)</string><integer>x</integer></array></plist>",
                       *definitions),
              "1  ");
    // A value XML cannot hold, then an expansion failure: the expansion
    // failure wins, as expanding comes before writing.
    auto control = Dictionary::withStringKeys(
        {{"N", Number::initWithInteger(1)}, {"C", String::make("\x01")}});
    EXPECT_EQ(bothWays("<plist><array><string>$(C)</string><string>$(N)</string></array></plist>",
                       *control),
              "2 The value for the macro N is not an Utterance but is a Number (at [1]) ");
    EXPECT_EQ(bothWays("<plist><array><string>$(C)</string></array></plist>", *control), "3  ");
    // A root that is no string, array or dictionary; a list in the text format.
    EXPECT_EQ(bothWays("<plist><integer>1</integer></plist>", *definitions), "3  ");
    EXPECT_EQ(bothWays("{ a = b; }", *definitions), "3  ");
    EXPECT_EQ(bothWays("{ a = \"$(N)\"; }", *definitions),
              "2 The value for the macro N is not an Utterance but is a Number (at a) ");
}

TEST(PropertyListExpansion, HostileListsAreInvalidInputBothWays) {
    auto definitions = Dictionary::make();
    // 40,076 bytes whose one data object is referred to 20,012 times.
    EXPECT_EQ(bothWays(testing_support::sharedDataList(20012, 20012), *definitions), "1  ");
}

TEST(PropertyListExpansion, AMillionLevelsOfNestingAreInvalidInputBothWays) {
    auto definitions = Dictionary::make();
    EXPECT_EQ(bothWays(testing_support::nestedXmlList(1000000), *definitions), "1  ");
    EXPECT_EQ(bothWays(testing_support::nestedBinaryList(1000000), *definitions), "1  ");
}

TEST(PropertyListExpansion, AFailureNamesThePlaceOfItsString) {
    auto definitions = Dictionary::withStringKeys(
        {{"A", String::make("$(B)")}, {"B", String::make("$(A)")}, {"OK", String::make("fine")}});
    const std::string cycle = "2 build setting references form a cycle: A -> B -> A";
    // Keys and positions at every depth, counting values of every kind, and
    // a key that merely looks like a reference.
    EXPECT_EQ(bothWays("<plist><dict><key>Name</key><string>$(OK)</string>"
                       "<key>URLTypes</key><array><dict><key>Role</key><string>x</string>"
                       "<key>URLName</key><string>$(A)</string></dict></array></dict></plist>",
                       *definitions),
              cycle + " (at URLTypes[0].URLName) ");
    EXPECT_EQ(bothWays("<plist><array><integer>1</integer><true/><dict/><array/>"
                       "<array><data></data><string>$(A)</string></array></array></plist>",
                       *definitions),
              cycle + " (at [4][1]) ");
    EXPECT_EQ(bothWays("<plist><dict><key>$(OK)</key><dict><key>k</key><string>$(B)</string>"
                       "</dict></dict></plist>",
                       *definitions),
              "2 build setting references form a cycle: B -> A -> B (at $(OK).k) ");
    // A key read through a reference is copied, one that stands as it is in
    // the input is not: both name their place.
    EXPECT_EQ(bothWays("<plist><dict><key>a&amp;b</key><dict><key>k</key><string>$(A)</string>"
                       "</dict></dict></plist>",
                       *definitions),
              cycle + " (at a&b.k) ");
    // The root string itself has no place to name.
    EXPECT_EQ(bothWays("<plist><string>$(A)</string></plist>", *definitions), cycle + " ");
    // A dictionary giving a key twice goes through objects; its place is
    // found there too.
    std::vector<ObjectRef> keep;
    auto twice = expandPropertyList(
        bytesOf("<plist><dict><key>k</key><string>a</string><key>list</key><array>"
                "<string>$(OK)</string><dict><key>d</key><string>1</string><key>d</key>"
                "<string>$(A)</string></dict></array></dict></plist>"),
        *definitions, keep);
    EXPECT_EQ(describe(twice), cycle + " (at list[1].d) ");
}

namespace {

// A list of `records` dictionaries, large enough that the writer hands on
// many pieces before its end, followed by `tail` inside the root array.
std::string largeList(int records, const std::string& tail) {
    std::string list = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>";
    for (int i = 0; i < records; ++i)
        list += "<dict><key>name</key><string>record " + std::to_string(i) +
                " of $(A)</string><key>size</key><integer>" + std::to_string(i * 7) +
                "</integer><key>note</key><string>a &amp; b</string></dict>";
    return list + tail + "</array></plist>";
}

// What the filter makes of a binary list: the written bytes, or how it
// failed. `taken` counts the values it took by identity.
std::string filtered(std::span<const std::uint8_t> input, const Dictionary& definitions,
                     bool identity, int* taken = nullptr) {
    MacroExpander expander(definitions);
    auto writer = makePropertyListWriter(PropertyListFormat::binary);
    ExpansionFilter filter(expander, writer.get());
    testing_support::PassOnSink reading(filter, identity);
    try {
        readPropertyList(input, reading);
    } catch (const DuplicateKey&) {
        return "a key given twice";
    } catch (const PropertyListError&) {
        return "invalid";
    }
    if (taken) *taken = reading.taken;
    if (filter.expansionFailure()) {
        try {
            std::rethrow_exception(filter.expansionFailure());
        } catch (const Exception& error) {
            return error.reason() + " at " + filter.expansionFailurePath().text();
        }
    }
    if (filter.writeFailed() || !filter.hasResult()) return "not written";
    auto bytes = writer->finish();
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(PropertyListExpansion, LateSurprisesInALargeListEndAsTheyDoOnOneThread) {
    auto definitions = Dictionary::withStringKeys(
        {{"A", String::make("alpha")}, {"N", Number::initWithInteger(1)}});
    struct Case {
        const char* what;
        std::string tail;
        std::string expectedStart;  // of the description
        int restarts;
    };
    const Case cases[] = {
        // A dictionary giving a key twice: the output is written again from
        // the start, through objects.
        {"duplicate key",
         "<dict><key>k</key><string>1</string><key>k</key><string>2</string></dict>", "0 ", 1},
        // The reader's own scanner leaves the rest to the full parser: the
        // values already passed on are not passed on again.
        {"scanner gives up", "<string>x<![CDATA[a\rb]]></string><string xmlns=\"u\">$(A)</string>",
         "0 ", 0},
        {"invalid at the end", "<integer>twelve</integer>", "1 ", 0},
        {"expansion failure at the end", "<string>$(N)</string>",
         "2 The value for the macro N is not an Utterance but is a Number (at [8000])", 0},
        // An expansion failure, then an invalid list: invalid wins.
        {"failure then invalid", "<string>$(N)</string><date>never</date>", "1 ", 0},
    };
    for (const auto& c : cases) {
        std::string input = largeList(8000, c.tail);
        auto bytes = bytesOf(input);
        std::vector<ObjectRef> keep;
        auto oneThread = describe(expandPropertyList(bytes, *definitions, keep));
        EXPECT_EQ(oneThread.rfind(c.expectedStart, 0), 0u)
            << c.what << ": " << oneThread.substr(0, 200);
        for (std::size_t blockSize : {64, 1 << 16}) {
            MemoryOutput output;
            EXPECT_EQ(readingAlong(bytes, *definitions, output, blockSize), oneThread)
                << c.what << ", blocks of " << blockSize;
            EXPECT_EQ(output.restarts, c.restarts) << c.what;
            // The restart came after the writer had handed on much of the list.
            if (c.restarts) {
                EXPECT_GT(output.discarded, std::size_t{1} << 19) << c.what;
            }
        }
    }
}

TEST(PropertyListExpansion, AnOutputThatThrowsEndsTheRunWithItsFailure) {
    // A failure thrown by the writer's output, while the reading thread has
    // filled every block and waits: it reaches the caller, and nothing
    // hangs.
    class ThrowingOutput final : public ExpansionOutput {
    public:
        int writes = 0;
        void write(std::span<const std::uint8_t>) override {
            if (++writes == 2) throw std::runtime_error("device gone");
        }
        std::span<const std::uint8_t> written(std::uint64_t, std::size_t) override { return {}; }
        void restart() override {}
    };
    auto definitions = Dictionary::withStringKeys({{"A", String::make("alpha")}});
    std::string input = largeList(8000, "");
    std::vector<ObjectRef> keep;
    ThrowingOutput output;
    EXPECT_THROW(expandPropertyList(bytesOf(input), *definitions, keep, &output,
                                    readAlongInSmallBlocks(4096)),
                 std::runtime_error);
    EXPECT_EQ(output.writes, 2);
}

// Values met again are taken by identity: the outcome is the same as when
// every one is read in full, failure for failure (the first failure's place,
// a key given twice), byte for byte.
TEST(ExpansionIdentity, TakingValuesByIdentityChangesNoOutcome) {
    auto definitions = generatedListDefinitions();
    auto withNumber = Dictionary::withStringKeys({{"N", Number::initWithInteger(1)}});
    int taken = 0, failures = 0;
    for (unsigned seed = 0; seed < 400; ++seed) {
        RandomList random(seed);
        std::vector<ObjectRef> values;
        for (int i = 0; i < 30; ++i) values.push_back(random.value(1));
        auto input = writePropertyList(Array::make(std::move(values)), PropertyListFormat::binary);
        const Dictionary& table = seed % 2 ? *definitions : *withNumber;
        int takenHere = 0;
        std::string with = filtered(input, table, true, &takenHere);
        EXPECT_EQ(with, filtered(input, table, false)) << seed;
        taken += takenHere;
        failures += with.find(" at ") != std::string::npos;
    }
    EXPECT_GT(taken, 2000);
    EXPECT_GT(failures, 50);
}

// One stored object as a key and as a string that expands: the key stays as
// it is, the value expands, however often each is met. A stored key met
// twice in one dictionary is still a key given twice.
TEST(ExpansionIdentity, AKeyAndAValueOfOneStoredObjectKeepTheirOwnOutcomes) {
    auto definitions = Dictionary::withStringKeys({{"A", String::make("alpha")}});
    auto list = [](int entries, bool twiceInLast) {
        auto writer = makePropertyListWriter(PropertyListFormat::binary);
        writer->beginArray();
        for (int i = 0; i < entries; ++i) {
            writer->beginDictionary();
            writer->key("$(A)");
            writer->string("$(A)");
            writer->key("k");
            writer->string("$(A)");
            if (twiceInLast && i == entries - 1) {
                writer->key("$(A)");
                writer->string("again");
            }
            writer->endContainer();
        }
        writer->endContainer();
        return writer->finish();
    };
    auto input = list(5, false);
    int taken = 0;
    std::string written = filtered(input, *definitions, true, &taken);
    EXPECT_GT(taken, 10);
    auto expected = Array::make(
        std::vector<ObjectRef>(5, Dictionary::withStringKeys({{"$(A)", String::make("alpha")},
                                                              {"k", String::make("alpha")}})));
    EXPECT_TRUE(readPropertyList(bytesOf(written)).root->isEqual(*expected));

    auto twice = list(5, true);
    EXPECT_EQ(filtered(twice, *definitions, true), "a key given twice");
    // Through objects instead: its last value, in its first place.
    std::vector<ObjectRef> keep;
    auto result = expandPropertyList(twice, *definitions, keep);
    ASSERT_EQ(result.outcome, PropertyListExpansion::Outcome::expanded);
    auto last = readPropertyList(result.bytes).root;
    EXPECT_EQ(last->description(),
              "({$(A) = alpha; k = alpha}, {$(A) = alpha; k = alpha}, {$(A) = alpha; k = alpha}, "
              "{$(A) = alpha; k = alpha}, {$(A) = again; k = alpha})");
}
