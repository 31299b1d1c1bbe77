// The XML writer's texts: whatever needs escaping or refusing is found
// wherever it stands in a text of any length, at any depth.

#include <gtest/gtest.h>

#include "Corral/base/Objects.h"
#include "PropertyListTestSupport.h"

using namespace base;
using namespace plisttest;

TEST(XmlTextWriting, EveryByteThatNeedsALookIsFoundWhereverItStands) {
    struct Piece {
        std::string text, written;  // written empty: the list cannot be written
    };
    const Piece pieces[] = {{"&", "&amp;"},           {"<", "&lt;"}, {">", "&gt;"},
                            {"\r", "&#13;"},          {"\t", "\t"},  {"\n", "\n"},
                            {"\xC3\xA9", "\xC3\xA9"}, {"\x01", ""},  {"\x1F", ""},
                            {"\xEF\xBF\xBE", ""},     {"\xC3", ""},  {"z", "z"}};
    for (const auto& piece : pieces) {
        for (std::size_t length = 0; length <= 40; ++length) {
            for (std::size_t at = 0; at <= length; ++at) {
                std::string before(at, 'a'), after(length - at, 'b');
                // Nested deeper than the usual indentation now and then.
                std::size_t depth = (length + at) % 11;
                ObjectRef root = String::make(before + piece.text + after);
                for (std::size_t i = 0; i < depth; ++i) root = Array::make({root});
                std::string failure = writeFailure(root, PropertyListFormat::xml);
                if (piece.written.empty()) {
                    EXPECT_NE(failure, "") << "piece " << at << " of " << length;
                    continue;
                }
                ASSERT_EQ(failure, "");
                std::string xml = textOf(writePropertyList(root, PropertyListFormat::xml));
                std::string line = std::string(depth, '\t') + "<string>" + before + piece.written +
                                   after + "</string>\n";
                EXPECT_NE(xml.find("\n" + line), std::string::npos)
                    << "piece at " << at << " of " << length << ":\n"
                    << xml;
            }
        }
    }
}
