#include <gtest/gtest.h>

#include "Corral/plist/PropertyListStream.h"
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
