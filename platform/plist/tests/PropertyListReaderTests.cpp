#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "Corral/plist/PropertyListStream.h"
#include "Corral/testing/HostilePropertyLists.h"
#include "PropertyListTestSupport.h"

using namespace base;
using namespace plisttest;

namespace {

bool isInvalid(const std::string& reason) {
    return reason.rfind("not a valid property list: ", 0) == 0;
}

std::string bigEndian(std::uint64_t value, std::size_t width) {
    std::string out;
    for (std::size_t i = width; i-- > 0;) out += static_cast<char>(i < 8 ? value >> (8 * i) : 0);
    return out;
}

// A binary property list put together by hand, so that each field can be
// made wrong on its own.
struct BinaryFile {
    std::vector<std::string> objects;
    std::uint8_t offsetWidth = 1, referenceWidth = 1;
    std::uint64_t root = 0;
    std::optional<std::uint64_t> objectCount, tableOffset;
    std::vector<std::uint64_t> offsetOverrides;  // replaces the computed offsets

    std::string bytes() const {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const auto& object : objects) {
            offsets.push_back(out.size());
            out += object;
        }
        if (!offsetOverrides.empty()) offsets = offsetOverrides;
        std::uint64_t table = out.size();
        for (auto offset : offsets) out += bigEndian(offset, offsetWidth);
        out += std::string(6, '\0');
        out += static_cast<char>(offsetWidth);
        out += static_cast<char>(referenceWidth);
        out += bigEndian(objectCount.value_or(objects.size()), 8);
        out += bigEndian(root, 8);
        out += bigEndian(tableOffset.value_or(table), 8);
        return out;
    }
};

std::string binaryFailure(const BinaryFile& file) { return readFailure(file.bytes()); }

using testing_support::nestedXmlList;

}  // namespace

TEST(XmlReading, AcceptsTheUsualDocumentForms) {
    auto root = read(
                    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<!DOCTYPE plist PUBLIC \"-//Example//DTD PLIST 1.0//EN\" "
                    "\"http://example.invalid/plist.dtd\">\n"
                    "<plist version=\"1.0\"><!-- comment --><dict>\n"
                    "  <key>a&amp;b</key><string>x&#x20AC;&#10;<![CDATA[<raw>]]></string>\n"
                    "  <key>hex</key><integer> 0x1F </integer>\n"
                    "  <key>plus</key><integer>+7</integer>\n"
                    "  <key>real</key><real>1e400</real>\n"
                    "  <key>spaced</key><data> AA EC\n =</data>\n"
                    "  <key>frac</key><date>2001-01-01T00:00:00.5Z</date>\n"
                    "</dict></plist>")
                    .root;
    auto dictionary = cast<Dictionary>(root);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dictionary->objectForKey("a&b")->description(), "x\xE2\x82\xAC\n<raw>");
    EXPECT_EQ(cast<Number>(dictionary->objectForKey("hex"))->integerValue(), 31);
    EXPECT_EQ(cast<Number>(dictionary->objectForKey("plus"))->integerValue(), 7);
    EXPECT_EQ(cast<Number>(dictionary->objectForKey("real"))->doubleValue(), INFINITY);
    EXPECT_EQ(cast<Data>(dictionary->objectForKey("spaced"))->bytes(),
              (std::vector<std::uint8_t>{0, 1, 2}));
    EXPECT_EQ(cast<Date>(dictionary->objectForKey("frac"))->timeIntervalSinceReferenceDate(), 0.5);
    // A bare value as the document element, and UTF-16 input.
    EXPECT_EQ(read("<string> kept </string>").root->description(), " kept ");
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<string>w</string>")) utf16 += std::string{c, '\0'};
    EXPECT_EQ(read(utf16).root->description(), "w");
}

TEST(XmlReading, KeepsWhatAParserMightLimitOrDrop) {
    // UTF-16 in either byte order without a byte order mark.
    std::string little, big;
    for (char c : std::string("<plist><string>w</string></plist>")) {
        little += std::string{c, '\0'};
        big += std::string{'\0', c};
    }
    EXPECT_EQ(read(little).root->description(), "w");
    EXPECT_EQ(read(big).root->description(), "w");
    // Text of blanks only, between elements and inside a string.
    auto spaced =
        cast<Array>(read("<plist><array>\n <string> \t </string>\n</array></plist>").root);
    ASSERT_TRUE(spaced);
    ASSERT_EQ(spaced->count(), 1u);
    EXPECT_EQ(spaced->at(0)->description(), " \t ");
    // A text far longer than a parser's usual limit for one text.
    std::string longText(12 << 20, 'a');
    EXPECT_EQ(read("<plist><string>" + longText + "</string></plist>").root->description().size(),
              longText.size());
}

TEST(XmlReading, RefusesEntityDeclarationsAndUndefinedEntities) {
    const char* laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
        "<plist><string>&c;</string></plist>";
    EXPECT_EQ(readFailure(laughs),
              "not a valid property list: the document declares the entity \"a\"");
    EXPECT_TRUE(
        isInvalid(readFailure("<!DOCTYPE plist [<!ENTITY x SYSTEM "
                              "\"file:///etc/passwd\">]><plist><string>&x;</string></plist>")));
    EXPECT_TRUE(isInvalid(readFailure(
        "<!DOCTYPE plist SYSTEM \"plist.dtd\"><plist><string>&unknown;</string></plist>")));
    EXPECT_TRUE(isInvalid(readFailure("<plist><string>&unknown;</string></plist>")));
}

TEST(XmlReading, RefusesMalformedStructure) {
    const char* cases[] = {
        "<plist></plist>",                                       // no value
        "<plist><true/><false/></plist>",                        // two roots
        "<plist><string>a</string></plist><string>b</string>",   // text after the root
        "<plist><dict><key>a</key></dict></plist>",              // key without value
        "<plist><dict><string>v</string></dict></plist>",        // value without key
        "<plist><dict><key>a</key><key>b</key></dict></plist>",  // key where a value belongs
        "<plist><array>loose text</array></plist>",
        "<plist><array><key>k</key></array></plist>",
        "<plist><string><true/></string></plist>",
        "<plist><array><plist/></array></plist>",
        "<plist><set/></plist>",
        "<plist><true>yes</true></plist>",
        "<plist><array>",                        // truncated
        "<plist><string>\xC3</string></plist>",  // invalid UTF-8
    };
    for (const char* text : cases) EXPECT_TRUE(isInvalid(readFailure(text))) << text;
}

TEST(XmlReading, RefusesMalformedScalars) {
    const char* cases[] = {
        "<integer></integer>",
        "<integer>12a</integer>",
        "<integer>1.5</integer>",
        "<integer>18446744073709551616</integer>",
        "<integer>-9223372036854775809</integer>",
        "<real>one</real>",
        "<real></real>",
        "<real>1.5x</real>",
        "<date>2001-02-30T00:00:00Z</date>",
        "<date>2001-01-01 00:00:00</date>",
        "<date>2001-01-01T24:00:00Z</date>",
        "<data>!!!!</data>",
        "<data>AA=A</data>",
        "<data>A</data>",
    };
    for (const char* text : cases) EXPECT_TRUE(isInvalid(readFailure(text))) << text;
    // The range ends themselves are fine.
    EXPECT_EQ(cast<Number>(read("<integer>-9223372036854775808</integer>").root)->integerValue(),
              INT64_MIN);
    EXPECT_EQ(
        cast<Number>(read("<integer>18446744073709551615</integer>").root)->unsignedIntegerValue(),
        UINT64_MAX);
    EXPECT_EQ(cast<Date>(read("<date>2024-02-29T12:00:00Z</date>").root)->description(),
              "2024-02-29T12:00:00Z");
}

TEST(XmlReading, NestingIsLimited) {
    EXPECT_EQ(readFailure(nestedXmlList(propertyListMaxDepth)), "");
    EXPECT_TRUE(isInvalid(readFailure(nestedXmlList(propertyListMaxDepth + 1))));
    // Far past the limit: refused without exhausting the stack.
    EXPECT_TRUE(isInvalid(readFailure(nestedXmlList(200000))));
}

TEST(Reading, AMillionLevelsOfNestingAreRefusedByEveryReader) {
    constexpr std::size_t million = 1000000;
    EXPECT_TRUE(isInvalid(readFailure(testing_support::nestedXmlList(million))));
    EXPECT_TRUE(isInvalid(readFailure(std::string(million, '(') + std::string(million, ')'))));
    const auto binary = testing_support::nestedBinaryList(million);
    EXPECT_TRUE(isInvalid(readFailure(std::string(binary.begin(), binary.end()))));
    // The same shapes within the limit read.
    const auto shallow = testing_support::nestedBinaryList(propertyListMaxDepth);
    EXPECT_EQ(readFailure(std::string(shallow.begin(), shallow.end())), "");
}

TEST(BinaryReading, ReadsHandMadeObjects) {
    BinaryFile file;
    // A dictionary {"k": [1-byte int 5, UTF-16 "é", -2 (8 bytes), true, 2^64-1 (16 bytes)]}.
    file.objects = {"\xD1\x01\x02",
                    std::string("\x51k"),
                    std::string("\xA5\x03\x04\x05\x06\x07", 6),
                    std::string("\x10\x05", 2),
                    std::string("\x61\x00\xE9", 3),
                    "\x13" + bigEndian(static_cast<std::uint64_t>(-2), 8),
                    "\x09",
                    "\x14" + bigEndian(0, 8) + bigEndian(UINT64_MAX, 8)};
    auto root = read(file.bytes());
    EXPECT_EQ(root.format, PropertyListFormat::binary);
    EXPECT_EQ(root.root->description(), "{k = (5, \xC3\xA9, -2, 1, 18446744073709551615)}");
}

TEST(BinaryReading, RefusesBrokenFramingAndTables) {
    BinaryFile good;
    good.objects = {"\xA2\x01\x01", "\x51x"};
    ASSERT_EQ(binaryFailure(good), "");
    std::string bytes = good.bytes();

    EXPECT_TRUE(isInvalid(readFailure(bytes.substr(0, 20))));                // truncated
    EXPECT_TRUE(isInvalid(readFailure(bytes.substr(0, bytes.size() - 1))));  // trailer cut
    EXPECT_TRUE(isInvalid(readFailure("bplist01" + bytes.substr(8))));       // other version
    auto with = [&](auto change) {
        BinaryFile file = good;
        change(file);
        return binaryFailure(file);
    };
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.offsetWidth = 0; })));
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.referenceWidth = 0; })));
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.offsetWidth = 9; })));
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.objectCount = 0; })));
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.objectCount = 3; })));  // table too short
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.objectCount = UINT64_MAX; })));  // overflows
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.root = 2; })));
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.tableOffset = UINT64_MAX - 4; })));
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.tableOffset = 2; })));
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.offsetOverrides = {8, 200}; })));  // outside
    EXPECT_TRUE(isInvalid(with([](BinaryFile& f) { f.offsetOverrides = {8, 3}; })));  // into header
    EXPECT_TRUE(
        isInvalid(with([](BinaryFile& f) { f.objects[0] = "\xA2\x01\x07"; })));  // bad reference
}

TEST(BinaryReading, RefusesWidthsTooSmallForTheObjectCount) {
    BinaryFile file;
    file.objects.assign(300, "\x08");
    file.objects[0] = "\xA0";
    file.offsetWidth = 2;
    file.referenceWidth = 2;
    ASSERT_EQ(binaryFailure(file), "");
    file.referenceWidth = 1;  // 300 objects need two-byte references
    file.offsetWidth = 1;
    file.offsetOverrides.assign(300, 8);
    EXPECT_TRUE(isInvalid(binaryFailure(file)));
}

TEST(BinaryReading, RefusesBadObjects) {
    auto failure = [](std::vector<std::string> objects) {
        BinaryFile file;
        file.objects = std::move(objects);
        return binaryFailure(file);
    };
    EXPECT_TRUE(isInvalid(failure({"\x5Fx"})));  // count marker is not an integer
    EXPECT_TRUE(isInvalid(failure({"\x5F\x13" + bigEndian(UINT64_MAX, 8)})));  // count overflows
    EXPECT_TRUE(
        isInvalid(failure({"\x4F\x10\xFF" + std::string(10, 'a')})));  // larger than the file
    EXPECT_TRUE(
        isInvalid(failure({"\xAF\x13" + bigEndian(1ull << 61, 8)})));  // count × width overflows
    EXPECT_TRUE(isInvalid(failure({"\xDF\x13" + bigEndian(1ull << 62, 8)})));
    EXPECT_TRUE(
        isInvalid(failure({std::string("\x62\xD8\x00\x00\x41", 5)})));  // unpaired surrogate
    EXPECT_TRUE(isInvalid(failure({std::string("\x61\xDC\x00", 3)})));
    EXPECT_TRUE(isInvalid(failure({"\x52\xC3\xA9"})));              // non-ASCII in an ASCII string
    EXPECT_TRUE(isInvalid(failure({"\xD1\x01\x01", "\x10\x01"})));  // integer key
    EXPECT_TRUE(isInvalid(failure({std::string("\x00", 1)})));      // null
    EXPECT_TRUE(isInvalid(failure({"\x80\x01"})));                  // UID
    EXPECT_TRUE(isInvalid(failure({"\x15" + std::string(32, '\0')})));  // 32-byte integer
    EXPECT_TRUE(
        isInvalid(failure({"\x14" + bigEndian(1, 8) + bigEndian(0, 8)})));  // beyond 64 bits
    EXPECT_TRUE(isInvalid(failure({"\x32" + std::string(4, '\0')})));       // four-byte date
    EXPECT_TRUE(isInvalid(failure({"\xA1\x00"})));                          // contains itself
    EXPECT_TRUE(isInvalid(failure({"\xA1\x01", "\xA1\x02", "\xA1\x00"})));  // longer cycle
}

TEST(BinaryReading, SharedObjectsAreAllowedButCannotExplode) {
    // Each array holds the next one twice: a tree of 2^n leaves from n objects.
    auto chain = [](int levels) {
        BinaryFile file;
        for (int i = 0; i < levels; ++i) {
            file.objects.push_back(std::string("\xA2") + static_cast<char>(i + 1) +
                                   static_cast<char>(i + 1));
        }
        file.objects.push_back("\x51x");
        return file;
    };
    EXPECT_EQ(binaryFailure(chain(4)), "");
    EXPECT_TRUE(isInvalid(binaryFailure(chain(60))));
}

// Counts what a reader reports, as bytes of text and data and values.
class CountingSink final : public PropertyListSink {
public:
    std::uint64_t values = 0, bytes = 0;

    void beginDictionary() override { ++values; }
    void key(std::string_view text) override { string(text); }
    void beginArray() override { ++values; }
    void endContainer() override {}
    void string(std::string_view text) override { values++, bytes += text.size(); }
    void boolean(bool) override { ++values; }
    void integer(std::int64_t) override { ++values; }
    void unsignedInteger(std::uint64_t) override { ++values; }
    void real(double) override { ++values; }
    void date(double) override { ++values; }
    void data(std::span<const std::uint8_t> data) override { values++, bytes += data.size(); }
};

TEST(BinaryReading, SharedTextAndDataCannotExpandPastAMultipleOfTheFile) {
    const std::string refused =
        "not a valid property list: objects are shared so often that the list would expand "
        "beyond its size";
    // 40,076 bytes that would read as 400 MB of data.
    auto hostile = testing_support::sharedDataList(20012, 20012);
    ASSERT_EQ(hostile.size(), 40076u);
    try {
        readPropertyList(hostile);
        ADD_FAILURE() << "the list was read";
    } catch (const PropertyListError& error) {
        EXPECT_EQ(error.reason(), refused);
    }
    // A sink that streams the values sees no more than the allowance before
    // the refusal.
    CountingSink counted;
    EXPECT_THROW(readPropertyList(hostile, counted), PropertyListError);
    EXPECT_LE(16 * counted.values + counted.bytes, 64 * hostile.size() + (1u << 20));

    // Sharing within the allowance reads: a thousand references to a
    // kilobyte.
    auto shared = readPropertyList(testing_support::sharedDataList(1000, 1000)).root;
    ASSERT_EQ(cast<Array>(shared)->count(), 1000u);
    EXPECT_EQ(cast<Data>(cast<Array>(shared)->at(999))->bytes().size(), 1000u);
    // As do the strings the binary writer shares.
    std::vector<ObjectRef> copies(5000, str(std::string(100, 'x')));
    auto list = writePropertyList(Array::make(copies), PropertyListFormat::binary);
    EXPECT_LT(list.size(), 6000u);
    EXPECT_EQ(cast<Array>(readPropertyList(list).root)->count(), 5000u);
}

TEST(BinaryReading, NestingIsLimited) {
    auto nested = [](std::size_t depth) {
        BinaryFile file;
        file.referenceWidth = 2;
        file.offsetWidth = 2;
        for (std::size_t i = 0; i < depth; ++i)
            file.objects.push_back("\xA1" + bigEndian(i + 1, 2));
        file.objects.push_back("\x51x");
        return file;
    };
    EXPECT_EQ(binaryFailure(nested(propertyListMaxDepth)), "");
    EXPECT_TRUE(isInvalid(binaryFailure(nested(propertyListMaxDepth + 1))));
}

TEST(TextReading, ReadsEverySyntax) {
    auto root = read(
        "// a comment\n"
        "{\n"
        "  unquoted = value-1.0/x:y$z_+;\n"
        "  \"quoted key\" = \"tab\\there \\\"q\\\" \\101\\U20AC \\UD83D\\UDE00 back\\\\slash\";\n"
        "  'single' = 'it\\'s';\n"
        "  /* block\n comment */ list = ( one, \"two\", (), {}, <00 ff>, );\n"
        "  empty = \"\";\n"
        "}\n");
    EXPECT_EQ(root.format, PropertyListFormat::openStep);
    auto dictionary = cast<Dictionary>(root.root);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dictionary->objectForKey("unquoted")->description(), "value-1.0/x:y$z_+");
    EXPECT_EQ(dictionary->objectForKey("quoted key")->description(),
              "tab\there \"q\" A\xE2\x82\xAC \xF0\x9F\x98\x80 back\\slash");
    EXPECT_EQ(dictionary->objectForKey("list")->description(),
              "(one, two, (), {}, {length = 2, bytes = 0x00ff})");
    EXPECT_EQ(dictionary->objectForKey("empty")->description(), "");
}

TEST(TextReading, RefusesMalformedText) {
    const char* cases[] = {
        "{ a = b }",
        "{ a b; }",
        "{ a = ; }",
        "( a b )",
        "( a, ",
        "\"unterminated",
        "<0f",
        "<0fb>",
        "<zz>",
        "a b",
        "/* open comment",
        "{ (x) = y; }",
        "\"\\UDC00\"",
        "\"\\UD800x\"",
        "\xC3\x28",
        "{ a = b; } extra",
        "=",
        "  // only a comment\n",
    };
    for (const char* text : cases) EXPECT_TRUE(isInvalid(readFailure(text))) << text;
    std::string deep(propertyListMaxDepth + 1, '(');
    EXPECT_TRUE(isInvalid(readFailure(deep + std::string(propertyListMaxDepth + 1, ')'))));
    EXPECT_TRUE(isInvalid(readFailure(std::string(100000, '('))));
}
