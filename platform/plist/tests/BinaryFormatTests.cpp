#include <gtest/gtest.h>

#include "Corral/plist/PropertyListStream.h"
#include "Corral/testing/HostilePropertyLists.h"
#include "Corral/testing/PassOnSink.h"
#include "PropertyListTestSupport.h"

using namespace base;
using namespace plisttest;

namespace {

std::uint64_t bigEndianAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i) value = value << 8 | bytes[at + i];
    return value;
}

std::uint64_t objectCountOf(const std::vector<std::uint8_t>& bytes) {
    return bigEndianAt(bytes, bytes.size() - 24);
}

std::string bigEndian(std::uint64_t value, std::size_t width) {
    std::string out;
    for (std::size_t i = width; i-- > 0;) out += static_cast<char>(value >> (8 * i));
    return out;
}

}  // namespace

// The writer handles values some time after it is given them: a value it
// cannot hold must still fail at the call that gives it, and nothing given
// before may be lost or reordered.
TEST(BinaryWriting, AValueItCannotHoldFailsAtTheCallThatGivesIt) {
    auto writer = makePropertyListWriter(PropertyListFormat::binary);
    writer->beginArray();
    for (int i = 0; i < 10; ++i) writer->string("fine " + std::to_string(i));
    EXPECT_THROW(writer->string("broken \xC3"), PropertyListError);

    auto deep = makePropertyListWriter(PropertyListFormat::binary);
    std::size_t opened = 0;
    try {
        for (; opened <= propertyListMaxDepth; ++opened) deep->beginArray();
    } catch (const PropertyListError&) {
    }
    EXPECT_EQ(opened, propertyListMaxDepth);

    // Up to the limit and back, with values at every level: all there.
    auto full = makePropertyListWriter(PropertyListFormat::binary);
    for (std::size_t i = 0; i < propertyListMaxDepth; ++i) {
        full->beginArray();
        full->integer(static_cast<std::int64_t>(i));
    }
    for (std::size_t i = 0; i < propertyListMaxDepth; ++i) full->endContainer();
    auto list = readPropertyList(full->finish()).root;
    ObjectRef expected;
    for (std::size_t i = propertyListMaxDepth; i-- > 0;) {
        std::vector<ObjectRef> elements{Number::initWithInteger(static_cast<std::int64_t>(i))};
        if (expected) elements.push_back(expected);
        expected = Array::make(std::move(elements));
    }
    EXPECT_TRUE(list->isEqual(*expected));
}

TEST(BinaryWriting, EqualScalarsAreStoredOnceWhateverComesBetween) {
    // Thousands of small records whose strings and numbers repeat, with
    // long texts and data (too long to wait with the others) among them.
    const int records = 5000;
    const std::string longText(40000, 'L');
    const std::vector<std::uint8_t> longData(40000, 0xD5);
    std::vector<ObjectRef> elements;
    for (int i = 0; i < records; ++i) {
        std::vector<ObjectRef> record{
            str("shared-string-number-" + std::to_string(i % 37)), Number::initWithInteger(i % 11),
            Number::initWithInteger(-1000000000000 - i % 13),      Number::initWithBool(i % 2),
            str("caf\xC3\xA9-" + std::to_string(i % 5)),           Number::initWithDouble(i),
        };
        if (i % 1000 == 0) {
            record.push_back(str(longText));
            record.push_back(Data::make(longData));
        }
        elements.push_back(Array::make(std::move(record)));
    }
    auto root = Array::make(std::move(elements));
    auto bytes = writePropertyList(root, PropertyListFormat::binary);
    EXPECT_TRUE(readPropertyList(bytes).root->isEqual(*root));
    // 37 + 11 + 13 + 2 + 5 + 1 shared scalars; a real for each record and
    // the five data, which are not shared; the records and the root.
    EXPECT_EQ(objectCountOf(bytes), 69u + records + records / 1000 + records + 1);
}

// Offsets and references are read as whole words: at the last entry of the
// table and the last reference of the object area too (the sanitizer build
// would see a read past the file).
TEST(BinaryReading, ReadsTheLastOffsetsAndReferencesOfEveryWidth) {
    for (std::size_t width : {1u, 2u, 3u, 4u, 8u}) {
        std::string objects = "\x51x";
        std::uint64_t array = 8 + objects.size();
        objects += "\xA2" + bigEndian(0, width) + bigEndian(0, width);
        std::string file = "bplist00" + objects;
        std::uint64_t table = file.size();
        file += bigEndian(8, width) + bigEndian(array, width);
        file += std::string(6, '\0') + static_cast<char>(width) + static_cast<char>(width);
        file += bigEndian(2, 8) + bigEndian(1, 8) + bigEndian(table, 8);
        // An exact copy on the heap, so that nothing follows its last byte.
        std::vector<std::uint8_t> exact(file.begin(), file.end());
        EXPECT_EQ(readPropertyList(exact).root->description(), "(x, x)") << width;
    }
}

namespace {

std::vector<std::uint8_t> rewritten(std::span<const std::uint8_t> input, bool identity,
                                    int* repeats = nullptr) {
    auto writer = makePropertyListWriter(PropertyListFormat::binary);
    testing_support::PassOnSink pass(*writer, identity);
    readPropertyList(input, pass);
    if (repeats) *repeats = pass.repeats;
    return writer->finish();
}

// A binary list made object by object, with one-byte references and
// two-byte offsets, so that a test decides which objects are shared.
class HandMadeList {
public:
    std::uint8_t add(std::string bytes) {
        objects_.push_back(std::move(bytes));
        return static_cast<std::uint8_t>(objects_.size() - 1);
    }
    std::uint8_t ascii(const std::string& text) {
        return add(static_cast<char>(0x50 | text.size()) + text);
    }
    // Of fewer than 15 elements or entries.
    std::uint8_t container(char marker, std::size_t count,
                           const std::vector<std::uint8_t>& references) {
        std::string bytes(1, static_cast<char>(marker | count));
        for (std::uint8_t reference : references) bytes += static_cast<char>(reference);
        return add(bytes);
    }
    std::uint8_t array(const std::vector<std::uint8_t>& elements) {
        return container('\xA0', elements.size(), elements);
    }
    // Keys, then values.
    std::uint8_t dictionary(const std::vector<std::pair<std::uint8_t, std::uint8_t>>& entries) {
        std::vector<std::uint8_t> references;
        for (const auto& entry : entries) references.push_back(entry.first);
        for (const auto& entry : entries) references.push_back(entry.second);
        return container('\xD0', entries.size(), references);
    }
    std::vector<std::uint8_t> file(std::uint8_t root) const {
        std::string out = "bplist00", table;
        for (const std::string& object : objects_) {
            table += bigEndian(out.size(), 2);
            out += object;
        }
        std::uint64_t tableOffset = out.size();
        out += table + std::string(6, '\0') + '\2' + '\1';
        out += bigEndian(objects_.size(), 8) + bigEndian(root, 8) + bigEndian(tableOffset, 8);
        return {out.begin(), out.end()};
    }

private:
    std::vector<std::string> objects_;
};

// Values of every kind, many of them met again, as keys and as values.
ObjectRef sharingList(unsigned seed) {
    std::vector<ObjectRef> records;
    for (unsigned i = 0; i < 300; ++i) {
        unsigned n = i * 7 + seed;
        // Longer than the writer keeps waiting, now and then.
        std::string longText(i % 50 ? 40 : 20000, 'x');
        records.push_back(Dictionary::withStringKeys({
            {"name", str("word-" + std::to_string(n % 13))},
            {"word-" + std::to_string(n % 5), str("name")},
            {"wide", str("caf\xC3\xA9 " + std::to_string(n % 4))},
            {"count", Number::initWithInteger(n % 9)},
            {"big", Number::initWithInteger(-4000000000000 - n % 3)},
            {"huge", Number::initWithUnsignedLongLong(UINT64_MAX - n % 2)},
            {"flag", Number::initWithBool(n % 2)},
            {"ratio", Number::initWithDouble(n % 3 / 2.0)},
            {"when", Date::withTimeIntervalSinceReferenceDate(n % 2)},
            {"blob", Data::make(std::vector<std::uint8_t>(n % 3, 0xAB))},
            {"long", str(longText)},
        }));
    }
    return Array::make(std::move(records));
}

}  // namespace

// Values met again are taken by their stored object: the list written is
// byte for byte the one written when every value is given in full, and what
// the writer does not share (reals, dates, data) stays unshared.
TEST(BinaryIdentity, ValuesTakenByIdentityWriteTheSameBytes) {
    for (unsigned seed = 0; seed < 4; ++seed) {
        ObjectRef root = sharingList(seed);
        auto input = writePropertyList(root, PropertyListFormat::binary);
        int repeats = 0;
        auto withIdentity = rewritten(input, true, &repeats);
        auto without = rewritten(input, false);
        EXPECT_GT(repeats, 3000);
        EXPECT_EQ(withIdentity, without) << seed;
        EXPECT_TRUE(readPropertyList(withIdentity).root->isEqual(*root));
    }
}

// Two stored objects of equal value are still one object in the output,
// whichever of them the writer remembers; a key and a value of the same
// stored object too.
TEST(BinaryIdentity, EqualValuesOfDifferentStoredObjectsShareOneObject) {
    HandMadeList list;
    std::uint8_t first = list.ascii("same"), second = list.ascii("same");
    std::uint8_t other = list.ascii("other");
    std::vector<std::uint8_t> elements;
    for (int i = 0; i < 6; ++i) {
        elements.push_back(list.dictionary({{first, second}, {other, first}}));
        elements.push_back(list.array({second, first, second}));
    }
    auto input = list.file(list.array(elements));
    int repeats = 0;
    auto output = rewritten(input, true, &repeats);
    EXPECT_GT(repeats, 20);
    EXPECT_EQ(output, rewritten(input, false));
    EXPECT_TRUE(readPropertyList(output).root->isEqual(*readPropertyList(input).root));
    // "same", "other", the twelve containers and the root.
    EXPECT_EQ(objectCountOf(output), 2u + 12 + 1);
}

// A writer given two readings in turn (one list spliced after another)
// never takes an object of the second for the object of the first at the
// same index, even while values of the first still wait to be written.
TEST(BinaryIdentity, AnIndexOfOneInputIsNeverTakenForAnother) {
    auto list = [](const std::string& word, std::int64_t number) {
        std::vector<ObjectRef> elements;
        for (int i = 0; i < 40; ++i)
            elements.push_back(Array::make({str(word), Number::initWithInteger(number)}));
        // Met for the second time at the very end: the writer still holds
        // it, waiting, when the next reading starts.
        elements.push_back(str(word + " at the end"));
        elements.push_back(str(word + " at the end"));
        return Array::make(std::move(elements));
    };
    ObjectRef first = list("first", 1), second = list("other", 2);
    auto firstBytes = writePropertyList(first, PropertyListFormat::binary);
    auto secondBytes = writePropertyList(second, PropertyListFormat::binary);
    // The same layout: equal indexes hold different values.
    ASSERT_EQ(objectCountOf(firstBytes), objectCountOf(secondBytes));

    auto writer = makePropertyListWriter(PropertyListFormat::binary);
    testing_support::PassOnSink pass(*writer, true);
    writer->beginArray();
    readPropertyList(firstBytes, pass);
    readPropertyList(secondBytes, pass);
    readPropertyList(firstBytes, pass);
    writer->endContainer();
    auto both = readPropertyList(writer->finish()).root;
    EXPECT_TRUE(both->isEqual(*Array::make({first, second, first})));
}

// The reader asks for identity only for an object it has reported in full
// in the same reading, and still charges a value taken so against what the
// list may expand to.
TEST(BinaryIdentity, TheReaderNamesOnlyValuesItReportedAndKeepsItsBudget) {
    class TakesEverything final : public PropertyListSink {
    public:
        void beginDictionary() override {}
        void key(std::string_view) override { ++full; }
        void beginArray() override {}
        void endContainer() override {}
        void string(std::string_view) override { ++full; }
        void boolean(bool) override { ++full; }
        void integer(std::int64_t) override { ++full; }
        void unsignedInteger(std::uint64_t) override { ++full; }
        void real(double) override { ++full; }
        void date(double) override { ++full; }
        void data(std::span<const std::uint8_t>) override { ++full; }
        bool repeated(const StoredObject& object) override {
            reads.push_back(object.read);
            ++taken;
            return true;
        }
        int full = 0, taken = 0;
        std::vector<std::uint64_t> reads;
    };
    ObjectRef root = sharingList(0);
    auto input = writePropertyList(root, PropertyListFormat::binary);
    TakesEverything sink;
    readPropertyList(input, sink);
    // Each stored scalar is reported in full once; the rest are taken.
    std::uint64_t objects = objectCountOf(input);
    EXPECT_EQ(static_cast<std::uint64_t>(sink.full), objects - 301);  // less the containers
    EXPECT_EQ(sink.taken, 300 * 22 - sink.full);
    readPropertyList(input, sink);
    EXPECT_NE(sink.reads.front(), sink.reads.back());  // two readings

    TakesEverything greedy;
    try {
        readPropertyList(testing_support::sharedDataList(20012, 20012), greedy);
        ADD_FAILURE() << "a list expanding to 400 MB was read";
    } catch (const PropertyListError& error) {
        EXPECT_EQ(error.reason(),
                  "not a valid property list: objects are shared so often that the list would "
                  "expand beyond its size");
    }
}
