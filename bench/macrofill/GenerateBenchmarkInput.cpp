// Writes the inputs of the macrofill benchmark:
//
//   macrofill-bench-generate list SIZE_MB xml|binary FILE   a realistic list of about SIZE_MB
//   macrofill-bench-generate settings FILE                  the build settings its references use
//   macrofill-bench-generate references COUNT FILE          one string of COUNT back-to-back
//                                                           references
//   macrofill-bench-generate chain LENGTH FILE SETTINGS     one reference to a chain of LENGTH
//                                                           definitions
//   macrofill-bench-generate deep DEPTH xml|binary FILE     arrays nested DEPTH deep
//
// The list is a dictionary of records, each with nested dictionaries and
// arrays, integers, reals, dates, data and strings; about 30% of the strings
// hold references, some nested, some to names the settings do not define.

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Corral/base/FileSystem.h"
#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"

using namespace base;

namespace {

constexpr int variantCount = 8;
constexpr int nameCount = 200;

class Generator {
public:
    ObjectRef record(int index) {
        Dictionary::Builder record;
        record.set("identifier",
                   text("com.example.$(PRODUCT_NAME).record" + std::to_string(index), true));
        record.set("title", sentence());
        record.set("summary", sentence());
        record.set("count", Number::initWithInteger(static_cast<std::int64_t>(random_() % 100000)));
        record.set("offset",
                   Number::initWithInteger(-static_cast<std::int64_t>(random_() % 1000000000)));
        record.set("ratio",
                   Number::initWithDouble(static_cast<double>(random_() % 100000) / 977.0));
        record.set("created",
                   Date::withTimeIntervalSinceReferenceDate(600000000.0 + random_() % 100000000));
        record.set("enabled", Number::initWithBool(random_() % 2));
        std::vector<std::uint8_t> payload(16 + random_() % 48);
        for (auto& byte : payload) byte = static_cast<std::uint8_t>(random_());
        record.set("payload", Data::make(std::move(payload)));
        std::vector<ObjectRef> tags;
        for (int i = 0, n = 2 + static_cast<int>(random_() % 4); i < n; ++i) tags.push_back(word());
        record.set("tags", Array::make(std::move(tags)));
        std::vector<ObjectRef> children;
        for (int i = 0, n = 1 + static_cast<int>(random_() % 3); i < n; ++i) {
            children.push_back(Dictionary::withStringKeys({
                {"name", word()},
                {"path",
                 text("$(SRCROOT)/Sources/" + plainWord() + "/" + plainWord() + ".txt", false)},
                {"weight", Number::initWithDouble(static_cast<double>(random_() % 1000) / 7.0)},
                {"flags", Array::make({Number::initWithInteger(random_() % 16),
                                       Number::initWithBool(random_() % 2)})},
            }));
        }
        record.set("children", Array::make(std::move(children)));
        return record.build();
    }

private:
    std::string plainWord() {
        static const char* words[] = {
            "alpha", "bravo", "charlie", "delta", "echo",   "foxtrot", "golf",
            "hotel", "india", "juliet",  "kilo",  "lima",   "mike",    "november",
            "oscar", "papa",  "quebec",  "romeo", "sierra", "tango",   "uniform"};
        return words[random_() % std::size(words)];
    }

    // About 30% of strings hold a reference: most to defined names, some
    // with a nested name, some to names that are not defined.
    std::string reference() {
        switch (random_() % 10) {
            case 0:
            case 1:
                return "$(NAME_$(VARIANT))";
            case 2:
                return "$(UNDEFINED_" + std::to_string(random_() % 50) + ")";
            default:
                return "$(NAME_" + std::to_string(random_() % nameCount) + ")";
        }
    }

    ObjectRef text(std::string base, bool alwaysReference) {
        if (alwaysReference || random_() % 10 < 3) base += "-" + reference();
        return String::make(std::move(base));
    }

    ObjectRef word() { return text(plainWord(), false); }

    ObjectRef sentence() {
        std::string text;
        for (int i = 0, n = 4 + static_cast<int>(random_() % 8); i < n; ++i)
            text += (i ? " " : "") + plainWord();
        if (random_() % 10 < 3) text += " " + reference();
        return String::make(std::move(text));
    }

    std::mt19937_64 random_{12345};
};

ObjectRef listOfRecords(int count) {
    Generator generator;
    Dictionary::Builder root;
    for (int i = 0; i < count; ++i) root.set("record" + std::to_string(i), generator.record(i));
    return root.build();
}

void save(const std::string& path, const ObjectRef& root, PropertyListFormat format) {
    if (!writeFileAtomically(path, writePropertyList(root, format))) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

int list(double megabytes, const std::string& formatName, const std::string& path) {
    auto format = formatName == "binary" ? PropertyListFormat::binary : PropertyListFormat::xml;
    // Measure a sample, then size the list to the target.
    const int sample = 2000;
    double perRecord =
        static_cast<double>(writePropertyList(listOfRecords(sample), format).size()) / sample;
    int count = static_cast<int>(megabytes * 1e6 / perRecord);
    save(path, listOfRecords(count), format);
    return 0;
}

int settings(const std::string& path) {
    Dictionary::Builder definitions;
    definitions.set("PRODUCT_NAME", String::make("Corral"));
    definitions.set("SRCROOT", String::make("/src/corral"));
    definitions.set("VARIANT", String::make("$(CONFIGURATION)"));
    definitions.set("CONFIGURATION", String::make("3"));
    for (int i = 0; i < nameCount; ++i)
        definitions.set("NAME_" + std::to_string(i),
                        String::make("value-" + std::to_string(i * 7919 % 10007)));
    save(path, definitions.build(), PropertyListFormat::xml);
    return 0;
}

int references(int count, const std::string& path) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "$(NAME_" + std::to_string(i % nameCount) + ")";
    save(path, String::make(std::move(text)), PropertyListFormat::xml);
    return 0;
}

int chain(int length, const std::string& path, const std::string& settingsPath) {
    Dictionary::Builder definitions;
    for (int i = 0; i < length; ++i)
        definitions.set("LINK_" + std::to_string(i),
                        String::make("<$(LINK_" + std::to_string(i + 1) + ")>"));
    definitions.set("LINK_" + std::to_string(length), String::make("end"));
    save(settingsPath, definitions.build(), PropertyListFormat::xml);
    save(path, String::make("$(LINK_0)"), PropertyListFormat::xml);
    return 0;
}

// Nested deeper than the writers go, so spelt out here: in XML as text, in
// the binary format as arrays each holding the next, the innermost empty.
int deep(int depth, const std::string& formatName, const std::string& path) {
    std::string bytes;
    if (formatName == "binary") {
        auto width = static_cast<std::size_t>(depth < 255 ? 1 : depth < 65535 ? 2 : 4);
        auto bigEndian = [&](std::uint64_t value, std::size_t size) {
            for (std::size_t i = size; i-- > 0;) bytes += static_cast<char>(value >> (8 * i));
        };
        bytes = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (int i = 0; i <= depth; ++i) {
            offsets.push_back(bytes.size());
            bytes += static_cast<char>(i < depth ? 0xA1 : 0xA0);
            if (i < depth) bigEndian(static_cast<std::uint64_t>(i + 1), width);
        }
        std::uint64_t table = bytes.size();
        for (std::uint64_t offset : offsets) bigEndian(offset, 4);
        bytes += std::string(6, '\0');
        bytes += static_cast<char>(4);
        bytes += static_cast<char>(width);
        bigEndian(offsets.size(), 8);
        bigEndian(0, 8);
        bigEndian(table, 8);
    } else {
        bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
        for (int i = 0; i < depth; ++i) bytes += "<array>";
        for (int i = 0; i < depth; ++i) bytes += "</array>";
        bytes += "\n</plist>\n";
    }
    if (!writeFileAtomically(path, bytes)) {
        std::perror(path.c_str());
        std::exit(1);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "list" && argc == 5) return list(std::atof(argv[2]), argv[3], argv[4]);
    if (mode == "settings" && argc == 3) return settings(argv[2]);
    if (mode == "references" && argc == 4) return references(std::atoi(argv[2]), argv[3]);
    if (mode == "chain" && argc == 5) return chain(std::atoi(argv[2]), argv[3], argv[4]);
    if (mode == "deep" && argc == 5) return deep(std::atoi(argv[2]), argv[3], argv[4]);
    std::fputs(
        "usage: macrofill-bench-generate list SIZE_MB xml|binary FILE | settings FILE |\n"
        "       references COUNT FILE | chain LENGTH FILE SETTINGS | deep DEPTH xml|binary FILE\n",
        stderr);
    return 64;
}
