#include <gtest/gtest.h>

#include <cmath>

#include "Corral/plist/PropertyListStream.h"
#include "PropertyListTestSupport.h"

using namespace base;
using namespace plisttest;

namespace {

std::vector<std::string> keysOf(const ObjectRef& dictionary) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : *cast<Dictionary>(dictionary))
        keys.push_back(key->description());
    return keys;
}

ObjectRef roundTrip(const ObjectRef& value, PropertyListFormat format) {
    auto bytes = writePropertyList(value, format);
    auto result = readPropertyList(bytes);
    EXPECT_EQ(result.format, format);
    return result.root;
}

// Keeps the pieces a writer hands on; can refuse to read them back.
class PieceOutput final : public PropertyListOutput {
public:
    explicit PieceOutput(bool readBack) : readBack_(readBack) {}
    void write(std::span<const std::uint8_t> bytes) override {
        ++pieces;
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    std::span<const std::uint8_t> written(std::uint64_t offset, std::size_t length) override {
        if (!readBack_ || offset + length > all.size()) return {};
        return std::span(all).subspan(static_cast<std::size_t>(offset), length);
    }
    std::vector<std::uint8_t> all;
    int pieces = 0;

private:
    bool readBack_;
};

}  // namespace

TEST(PropertyListWriting, WritersHandTheirOutputOnInPiecesAsTheyGo) {
    // Far more than a writer buffers, with equal strings far apart.
    std::vector<ObjectRef> records;
    for (int i = 0; i < 20000; ++i) {
        records.push_back(Dictionary::withStringKeys({
            {"name", str("record number " + std::to_string(i))},
            {"group", str("a group name long enough to be shared " + std::to_string(i % 50))},
            {"count", Number::initWithInteger(i % 300)},
        }));
    }
    auto root = Array::make(std::move(records));
    for (auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
        auto whole = writePropertyList(root, format);
        PieceOutput output(true);
        auto writer = makePropertyListWriter(format, output);
        reportPropertyList(root, *writer);
        EXPECT_TRUE(writer->finish().empty());
        EXPECT_GT(output.pieces, 2);
        EXPECT_EQ(output.all, whole) << propertyListFormatName(format);
    }
    // An output that cannot read back costs the sharing of what was handed
    // on, not the list.
    PieceOutput forgetful(false);
    auto writer = makePropertyListWriter(PropertyListFormat::binary, forgetful);
    reportPropertyList(root, *writer);
    writer->finish();
    EXPECT_TRUE(readPropertyList(forgetful.all).root->isEqual(*root));
}

TEST(PropertyListWriting, XmlHasTheConventionalLayout) {
    auto root = Dictionary::withStringKeys({
        {"name", str("a & b <c>\r")},
        {"count", Number::initWithInteger(-42)},
        {"big", Number::initWithUnsignedLongLong(UINT64_MAX)},
        {"ratio", Number::initWithDouble(0.1)},
        {"huge", Number::initWithDouble(1e300)},
        {"on", Number::initWithBool(true)},
        {"off", Number::initWithBool(false)},
        {"when", Date::withTimeIntervalSinceReferenceDate(86400.75)},
        {"blob", Data::make(std::vector<std::uint8_t>{0, 1, 2})},
        {"list", Array::make({str(""), Array::make(), Dictionary::make()})},
    });
    EXPECT_EQ(textOf(writePropertyList(root, PropertyListFormat::xml)),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<plist version=\"1.0\">\n"
              "<dict>\n"
              "\t<key>name</key>\n"
              "\t<string>a &amp; b &lt;c&gt;&#13;</string>\n"
              "\t<key>count</key>\n"
              "\t<integer>-42</integer>\n"
              "\t<key>big</key>\n"
              "\t<integer>18446744073709551615</integer>\n"
              "\t<key>ratio</key>\n"
              "\t<real>0.1</real>\n"
              "\t<key>huge</key>\n"
              "\t<real>1e+300</real>\n"
              "\t<key>on</key>\n"
              "\t<true/>\n"
              "\t<key>off</key>\n"
              "\t<false/>\n"
              "\t<key>when</key>\n"
              "\t<date>2001-01-02T00:00:00Z</date>\n"
              "\t<key>blob</key>\n"
              "\t<data>\n"
              "\tAAEC\n"
              "\t</data>\n"
              "\t<key>list</key>\n"
              "\t<array>\n"
              "\t\t<string></string>\n"
              "\t\t<array/>\n"
              "\t\t<dict/>\n"
              "\t</array>\n"
              "</dict>\n"
              "</plist>\n");
}

TEST(PropertyListWriting, LongDataIsWrappedAtSeventySixCharacters) {
    auto text = textOf(
        writePropertyList(Data::make(std::vector<std::uint8_t>(100, 0)), PropertyListFormat::xml));
    std::string line(76, 'A');
    EXPECT_NE(text.find("<data>\n" + line + "\n" + std::string(58, 'A') + "==\n</data>"),
              std::string::npos)
        << text;
    EXPECT_EQ(cast<Data>(readPropertyList(bytesOf(text)).root)->length(), 100u);
}

TEST(PropertyListWriting, BinaryUsesTheSmallestWidthsAndSharesEqualScalars) {
    auto root = Array::make(
        {str("same"), str("same"), Number::initWithInteger(1), Number::initWithInteger(1)});
    auto bytes = writePropertyList(root, PropertyListFormat::binary);
    // Header, "same" (5), integer (2), array (1 + 4 refs), table (3), trailer:
    // children come before their container, and the root last.
    ASSERT_EQ(bytes.size(), 8u + 5 + 2 + 5 + 3 + 32);
    EXPECT_EQ(textOf(bytes).substr(0, 15), "bplist00\x54same\x10\x01");
    EXPECT_EQ(textOf(bytes).substr(15, 5), std::string("\xA4\x00\x00\x01\x01", 5));
    std::size_t trailer = bytes.size() - 32;
    EXPECT_EQ(bytes[trailer + 6], 1);   // offset width
    EXPECT_EQ(bytes[trailer + 7], 1);   // reference width
    EXPECT_EQ(bytes[trailer + 15], 3);  // object count
    EXPECT_EQ(bytes[trailer + 23], 2);  // root object
}

TEST(PropertyListWriting, LargeContainersUseWiderCountsAndReferences) {
    // More than 15 elements need a separate count; more than 256 and 65536
    // objects need wider references.
    for (int count : {16, 300, 70000}) {
        std::vector<ObjectRef> elements;
        Dictionary::Builder dictionary;
        for (int i = 0; i < count; ++i) {
            elements.push_back(str("s" + std::to_string(i)));
            if (i < 20) dictionary.set("k" + std::to_string(i), Number::initWithInteger(i));
        }
        auto root = Array::make({Array::make(std::move(elements)), dictionary.build()});
        auto copy = readPropertyList(writePropertyList(root, PropertyListFormat::binary)).root;
        EXPECT_TRUE(copy->isEqual(*root)) << count;
    }
}

TEST(PropertyListWriting, EveryKindSurvivesBothFormats) {
    auto original = everyKind();
    for (auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
        SCOPED_TRACE(std::string(propertyListFormatName(format)));
        auto copy = roundTrip(original, format);
        EXPECT_TRUE(copy->isEqual(*original)) << copy->description();
        EXPECT_EQ(keysOf(copy), keysOf(original));
        // Type codes: booleans "c", integers "q", large unsigned "Q", reals "d".
        auto integers = cast<Array>(cast<Dictionary>(copy)->objectForKey("integers"));
        EXPECT_EQ(cast<Number>(integers->at(0))->typeCode(), "q");
        EXPECT_EQ(cast<Number>(integers->at(8))->typeCode(), "Q");
        EXPECT_EQ(cast<Number>(integers->at(8))->unsignedIntegerValue(), UINT64_MAX);
        auto booleans = cast<Array>(cast<Dictionary>(copy)->objectForKey("booleans"));
        EXPECT_EQ(cast<Number>(booleans->at(0))->typeCode(), "c");
        auto reals = cast<Array>(cast<Dictionary>(copy)->objectForKey("reals"));
        EXPECT_EQ(cast<Number>(reals->at(3))->typeCode(), "d");
        EXPECT_TRUE(std::signbit(cast<Number>(reals->at(4))->doubleValue()));
        // Writing what was read gives the same bytes.
        EXPECT_EQ(writePropertyList(copy, format), writePropertyList(original, format));
    }
}

TEST(PropertyListWriting, SpecialRealsAndOtherNumberCodes) {
    auto root = Array::make({Number::initWithDouble(NAN), Number::initWithDouble(INFINITY),
                             Number::initWithDouble(-INFINITY), Number::initWithFloat(1.5f),
                             Number::initWithCBool(true), Number::initWithUnsignedChar(0),
                             Number::initWithShort(-7)});
    EXPECT_NE(
        textOf(writePropertyList(root, PropertyListFormat::xml))
            .find("<real>nan</real>\n\t<real>inf</real>\n\t<real>-inf</real>\n\t<real>1.5</real>\n"
                  "\t<true/>\n\t<false/>\n\t<integer>-7</integer>"),
        std::string::npos);
    for (auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
        auto copy = cast<Array>(roundTrip(root, format));
        EXPECT_TRUE(std::isnan(cast<Number>(copy->at(0))->doubleValue()));
        EXPECT_EQ(cast<Number>(copy->at(2))->doubleValue(), -INFINITY);
        EXPECT_EQ(cast<Number>(copy->at(4))->typeCode(), "c");
        EXPECT_EQ(cast<Number>(copy->at(6))->integerValue(), -7);
    }
}

TEST(PropertyListWriting, DatesKeepWholeSecondsInXml) {
    auto copy = roundTrip(Array::make({Date::withTimeIntervalSinceReferenceDate(-0.5),
                                       Date::withTimeIntervalSinceReferenceDate(1.999)}),
                          PropertyListFormat::xml);
    EXPECT_EQ(copy->description(), "(2000-12-31T23:59:59Z, 2001-01-01T00:00:01Z)");
    // Binary keeps the exact value.
    auto exact =
        roundTrip(Date::withTimeIntervalSinceReferenceDate(1.999), PropertyListFormat::binary);
    EXPECT_EQ(cast<Date>(exact)->timeIntervalSinceReferenceDate(), 1.999);
}

TEST(PropertyListWriting, RefusesWhatTheFormatCannotHold) {
    auto cannot = [](const std::string& reason) {
        return reason.rfind("cannot write property list", 0) == 0;
    };
    EXPECT_TRUE(cannot(writeFailure(str("x"), PropertyListFormat::openStep)));
    for (auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
        EXPECT_TRUE(cannot(writeFailure(Array::make({Null::null()}), format)));
        EXPECT_TRUE(cannot(
            writeFailure(Dictionary::make({{Number::initWithInteger(1), str("v")}}), format)));
        EXPECT_TRUE(cannot(writeFailure(str("bad \xC3 UTF-8"), format)));
        EXPECT_TRUE(cannot(writeFailure(nullptr, format)));
    }
    EXPECT_TRUE(cannot(writeFailure(str("bell \a"), PropertyListFormat::xml)));
    EXPECT_TRUE(cannot(writeFailure(str("\xEF\xBF\xBF"), PropertyListFormat::xml)));
    EXPECT_TRUE(cannot(
        writeFailure(Date::withTimeIntervalSinceReferenceDate(1e15), PropertyListFormat::xml)));
    EXPECT_TRUE(cannot(
        writeFailure(Date::withTimeIntervalSinceReferenceDate(NAN), PropertyListFormat::xml)));
    // Binary holds control characters and any date.
    EXPECT_EQ(
        writeFailure(Array::make({str("bell \a"), Date::withTimeIntervalSinceReferenceDate(1e15)}),
                     PropertyListFormat::binary),
        "");
}

TEST(PropertyListWriting, DepthIsLimitedAndSharedContainersAreWrittenWhereTheyOccur) {
    ObjectRef deep = str("leaf");
    for (std::size_t i = 0; i < propertyListMaxDepth; ++i) deep = Array::make({deep});
    EXPECT_EQ(writeFailure(deep, PropertyListFormat::binary), "");
    EXPECT_EQ(readFailure(textOf(writePropertyList(deep, PropertyListFormat::xml))), "");
    deep = Array::make({deep});
    EXPECT_NE(writeFailure(deep, PropertyListFormat::xml), "");
    EXPECT_NE(writeFailure(deep, PropertyListFormat::binary), "");

    // Far past the limit: refused without exhausting the stack, and the
    // graph is released the same way.
    ObjectRef million = str("leaf");
    for (int i = 0; i < 1000000; ++i) million = Array::make({million});
    EXPECT_NE(writeFailure(million, PropertyListFormat::xml), "");
    EXPECT_NE(writeFailure(million, PropertyListFormat::binary), "");
    million = nullptr;

    ObjectRef shared = Array::make({str("a"), Number::initWithInteger(1)});
    for (int i = 0; i < 10; ++i) shared = Array::make({shared, shared});
    for (auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
        auto copy = roundTrip(shared, format);
        EXPECT_TRUE(copy->isEqual(*shared));
    }
    // Equal scalars are stored once: 2047 arrays, but only two more objects
    // for 1024 strings and 1024 numbers (stored apart, they would add 8 KB).
    EXPECT_LT(writePropertyList(shared, PropertyListFormat::binary).size(), 15000u);
}

TEST(PropertyListReading, DetectsTheFormat) {
    EXPECT_EQ(read("<plist><true/></plist>").format, PropertyListFormat::xml);
    EXPECT_EQ(read("<?xml version=\"1.0\"?><string>x</string>").format, PropertyListFormat::xml);
    EXPECT_EQ(read("<0fbd 77>").format, PropertyListFormat::openStep);
    EXPECT_EQ(cast<Data>(read(" <0fbd 77> ").root)->bytes(),
              (std::vector<std::uint8_t>{0x0F, 0xBD, 0x77}));
    EXPECT_EQ(read("{ a = b; }").format, PropertyListFormat::openStep);
    EXPECT_EQ(read("<array/>").format, PropertyListFormat::xml);
    EXPECT_NE(readFailure("<abc/>"), "");
    EXPECT_EQ(readFailure(""), "not a valid property list: the document holds no value");
}

TEST(PropertyListReading, DictionariesKeepTheInputKeyOrder) {
    const char* xml =
        "<plist><dict><key>z</key><string>1</string><key>a</key><string>2</string>"
        "<key>m</key><string>3</string><key>a</key><string>4</string></dict></plist>";
    auto root = read(xml).root;
    EXPECT_EQ(keysOf(root), (std::vector<std::string>{"z", "a", "m"}));
    // A repeated key keeps its first place and its last value.
    EXPECT_EQ(cast<Dictionary>(root)->objectForKey("a")->description(), "4");
    EXPECT_EQ(keysOf(read("{ z = 1; a = 2; m = 3; }").root),
              (std::vector<std::string>{"z", "a", "m"}));
    auto binary = writePropertyList(root, PropertyListFormat::binary);
    EXPECT_EQ(keysOf(readPropertyList(binary).root), (std::vector<std::string>{"z", "a", "m"}));
}
