// Our readers and writers against an independent implementation: Python's
// standard plistlib reads what we write and writes what we read.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "PropertyListTestSupport.h"

using namespace base;
using namespace plisttest;

namespace {

class PropertyListInterop : public testing::TestWithParam<PropertyListFormat> {
protected:
    void TearDown() override { std::remove(path().c_str()); }

    std::string formatName() const {
        return GetParam() == PropertyListFormat::xml ? "xml" : "binary";
    }

    std::string path() const {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        return testing::TempDir() + "interop-" + name + ".plist";
    }

    static int python(const std::string& mode, const std::string& format, const std::string& file) {
        std::string command =
            "python3 '" PLIST_INTEROP_SCRIPT "' " + mode + " " + format + " '" + file + "'";
        return std::system(command.c_str());
    }
};

}  // namespace

TEST_P(PropertyListInterop, PythonReadsWhatWeWrite) {
    auto bytes = writePropertyList(everyKind(), GetParam());
    std::ofstream(path(), std::ofstream::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(python("check", formatName(), path()), 0);
}

TEST_P(PropertyListInterop, WeReadWhatPythonWrites) {
    ASSERT_EQ(python("write", formatName(), path()), 0);
    std::ifstream in(path(), std::ifstream::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    auto result = readPropertyList(bytes);
    EXPECT_EQ(result.format, GetParam());
    auto expected = everyKind();
    EXPECT_TRUE(result.root->isEqual(*expected)) << result.root->description();
    // Key order and kinds survive too: writing it again reproduces our own bytes.
    EXPECT_EQ(writePropertyList(result.root, GetParam()), writePropertyList(expected, GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Formats, PropertyListInterop,
                         testing::Values(PropertyListFormat::xml, PropertyListFormat::binary),
                         [](const auto& info) {
                             return info.param == PropertyListFormat::xml ? "Xml" : "Binary";
                         });
