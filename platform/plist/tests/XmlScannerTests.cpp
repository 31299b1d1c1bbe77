// The XML scanner against the full parser, document by document: hand-made
// documents of every kind the readers meet, and many more made from them by
// random small changes.

#include <gtest/gtest.h>

#include <random>

#include "Corral/plist/PropertyList.h"
#include "PropertyListTestSupport.h"
#include "XmlReaderComparison.h"

using namespace plisttest;

namespace {

const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string doctype =
    "<!DOCTYPE plist PUBLIC \"-//Example//DTD PLIST 1.0//EN\" "
    "\"http://www.example.com/DTDs/PropertyList-1.0.dtd\">\n";

std::string list(const std::string& body) {
    return declaration + doctype + "<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

// Documents of every form the scanner reads itself, and of many it leaves
// to the full parser.
std::vector<std::string> handMadeDocuments() {
    std::vector<std::string> documents = {
        // Prologs.
        list("<string>a</string>"),
        "<plist version=\"1.0\"><string>no declaration</string></plist>",
        "<string>a bare root value</string>",
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><plist><true/></plist>",
        "<?xml version='1.0' encoding='utf-8' standalone='yes'?><plist><false/></plist>",
        "<?xml version=\"1.0\" standalone=\"no\" ?>\n<plist><integer>1</integer></plist>",
        "<?xml version = \"1.0\" encoding = \"UTF-8\" ?><plist><real>1.5</real></plist>",
        "<?xml version=\"1.1\"?><plist><true/></plist>",
        "<?xml version=\"2.0\"?><plist><true/></plist>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plist><string>caf\xE9</string></plist>",
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist><true/></plist>",
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><plist><true/></plist>",
        "<?xml encoding=\"UTF-8\"?><plist><true/></plist>",
        "<?xml version=\"1.0\" standalone=\"maybe\"?><plist><true/></plist>",
        " <?xml version=\"1.0\"?><plist><true/></plist>",
        "<!DOCTYPE plist><plist><true/></plist>",
        "<!DOCTYPE plist SYSTEM \"file.dtd\"><plist><true/></plist>",
        "<!DOCTYPE plist PUBLIC \"bad{id\" \"file.dtd\"><plist><true/></plist>",
        "<!DOCTYPE plist [<!ENTITY e \"x\">]><plist><string>&e;</string></plist>",
        "<!DOCTYPE plist [<!ENTITY % p \"x\">]><plist><true/></plist>",
        "<!DOCTYPE plist SYSTEM \"http://example.com/external.dtd\"><plist><string>&e;</string>"
        "</plist>",
        "<!DOCTYPE plist><!DOCTYPE plist><plist><true/></plist>",
        "<!-- before --><?pi data?><plist><true/></plist><!-- after --><?pi?>\n",
        "<?xml-stylesheet href=\"a\"?><plist><true/></plist>",
        "<plist><true/></plist><?xml version=\"1.0\"?>",
        // Texts.
        list("<string>a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;</string>"),
        list("<string>&#65;&#x42;&#x10FFFF;&#13;&#9;&#x0000043;</string>"),
        list("<string>&#0;</string>"),
        list("<string>&#1;</string>"),
        list("<string>&#xD800;</string>"),
        list("<string>&#xFFFE;</string>"),
        list("<string>&#x110000;</string>"),
        list("<string>&#99999999999999999999;</string>"),
        list("<string>&#;</string>"),
        list("<string>&#X41;</string>"),
        list("<string>&undefined;</string>"),
        list("<string>& alone</string>"),
        list("<string>a\r\nb\rc\n\rd\r</string>"),
        list("<key>x</key>"),
        list("<string><![CDATA[<not> &markup; ]] ]>\r\n]]></string>"),
        list("<string>a]]>b</string>"),
        list("<string>a]]b]>c</string>"),
        list("<string>a<!-- comment -->b<?pi x?>c</string>"),
        list("<string>a<!-- bad -- comment -->b</string>"),
        list("<string>a<!-- ends badly --->b</string>"),
        list("<string>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\x89</string>"),
        list("<string>\xC3</string>"),
        list("<string>\xC0\xAF</string>"),
        list("<string>\xED\xA0\x80</string>"),
        list("<string>\xF4\x90\x80\x80</string>"),
        list("<string>\xEF\xBF\xBE</string>"),
        list("<string>\xEF\xBF\xBF</string>"),
        list("<string>\x7F\xC2\x85</string>"),
        list("<string>a\x01</string>"),
        list(std::string("<string>nul\0byte</string>", 25)),
        list("<string></string>"),
        list("<string/>"),
        list("<string> \t\n </string>"),
        list("<dict>&#32;&#13;</dict>"),
        list("<dict>&amp;</dict>"),
        list("<array><![CDATA[ ]]></array>"),
        list("<array><![CDATA[x]]></array>"),
        list("<array>text</array>"),
        // Markup.
        list("<dict><key>a</key><string>1</string><key>a</key><string>2</string></dict>"),
        list("<dict\n><key\t>k</key ><array\r\n/></dict>"),
        list("<array><true /><false/><integer>-9223372036854775808</integer>"
             "<integer>18446744073709551615</integer><integer>0x1F</integer></array>"),
        list("<array><date>2001-01-01T00:00:00Z</date><data>AAEC\n\tAw==</data>"
             "<real>nan</real><real>-inf</real><real>1e400</real></array>"),
        "<plist version=\"1.0\" version=\"1.0\"><true/></plist>",
        "<plist version=\"1.0\"other=\"x\"><true/></plist>",
        "<plist version=\"a<b\"><true/></plist>",
        "<plist version=\"a&amp;b\"><true/></plist>",
        "<plist version=1.0><true/></plist>",
        "<plist xmlns=\"urn:x\"><true/></plist>",
        "<plist xmlns:p=\"urn:x\"><p:true/></plist>",
        "<p:plist><true/></p:plist>",
        "<plist><true/></plist2>",
        "<plist><true></plist>",
        "<plist><tr\xC3\xA9/></plist>",
        "<plist><1/></plist>",
        "< plist><true/></plist>",
        "<plist><true/>",
        "<plist><true/></plist>junk",
        "<plist><true/></plist><plist/>",
        "<plist/>",
        "",
        "   ",
        "<plist><string>a</string><string>b</string></plist>",
        list("<dict><key>a</key></dict>"),
        list("<dict><string>a</string></dict>"),
        list("<key>a</key>"),
        list("<string><string>x</string></string>"),
        list("<unknown/>"),
        list("<integer>x</integer>"),
        list("<date>yesterday</date>"),
        list("<data>!!!</data>"),
        list("<true>x</true>"),
        // UTF-16, which the scanner leaves alone.
        std::string("\xFE\xFF\0<\0t\0r\0u\0e\0/\0>", 16),
        std::string("<\0t\0r\0u\0e\0/\0>\0", 14),
    };
    // Deep nesting: within the limit, and past it.
    for (int depth : {500, 1000}) {
        std::string deep;
        for (int i = 0; i < depth; ++i) deep += "<array>";
        for (int i = 0; i < depth; ++i) deep += "</array>";
        documents.push_back(deep);
    }
    // A long text, plain and with a reference and a line end in its middle.
    std::string longText(std::size_t{2} << 20, 'x');
    documents.push_back(list("<string>" + longText + "</string>"));
    documents.push_back(list("<string>" + longText + "&amp;\r\n" + longText + "</string>"));
    documents.push_back(
        textOf(base::writePropertyList(everyKind(), base::PropertyListFormat::xml)));
    return documents;
}

void expectAgreement(const std::string& document) {
    std::string disagreement = compareXmlReaders(bytesOf(document));
    EXPECT_EQ(disagreement, "") << "document: " << testing::PrintToString(document);
}

}  // namespace

TEST(XmlScanning, AgreesWithTheFullParserOnHandMadeDocuments) {
    for (const auto& document : handMadeDocuments()) expectAgreement(document);
}

TEST(XmlScanning, ReadsTheUsualDocumentsItself) {
    // Were it to give up on these, the fast way would be of no use.
    for (const std::string& document :
         {list("<dict>\n\t<key>a</key>\n\t<string>x &amp; y&#13;</string>\n</dict>"),
          textOf(base::writePropertyList(everyKind(), base::PropertyListFormat::xml)),
          std::string("<plist><array><![CDATA[ ]]><!-- c --></array></plist>\r\n")}) {
        bool accepted = false;
        EXPECT_EQ(compareXmlReaders(bytesOf(document), &accepted), "");
        EXPECT_TRUE(accepted) << document;
    }
}

TEST(XmlScanning, AgreesWithTheFullParserOnChangedDocuments) {
    // Pieces that make or break XML, put in, taken out or swapped at random.
    static const std::vector<std::string> pieces = {"<",
                                                    ">",
                                                    "&",
                                                    ";",
                                                    "#",
                                                    "x",
                                                    "]]>",
                                                    "]",
                                                    "<!--",
                                                    "-->",
                                                    "--",
                                                    "<?",
                                                    "?>",
                                                    "\r",
                                                    "\r\n",
                                                    std::string(1, '\0'),
                                                    "\x01",
                                                    "\x7F",
                                                    "\xC3",
                                                    "\xC3\xA9",
                                                    "\xEF\xBF\xBE",
                                                    "\xED\xA0\x80",
                                                    "\xF4\x90\x80\x80",
                                                    "\xC0\xAF",
                                                    "\xEF\xBB\xBF",
                                                    "\"",
                                                    "'",
                                                    " ",
                                                    "\t",
                                                    "\n",
                                                    "=",
                                                    "/",
                                                    ":",
                                                    "xmlns",
                                                    "a",
                                                    "<![CDATA[",
                                                    "<!DOCTYPE plist>",
                                                    "<!DOCTYPE",
                                                    "&amp;",
                                                    "&lt;",
                                                    "&#13;",
                                                    "&#65;",
                                                    "&#x10FFFF;",
                                                    "&#xD800;",
                                                    "&#0;",
                                                    "&e;",
                                                    "<key>",
                                                    "</key>",
                                                    "<string>",
                                                    "</string>",
                                                    "<dict>",
                                                    "</dict>",
                                                    "<array>",
                                                    "</array>",
                                                    "<array/>",
                                                    "<true/>",
                                                    "<integer>1</integer>",
                                                    "<?xml version=\"1.0\"?>",
                                                    "<?pi x?>",
                                                    "version",
                                                    "\"1.0\""};
    // Small documents only: changes to a long text tell nothing new.
    std::vector<std::string> seeds;
    for (auto& document : handMadeDocuments()) {
        if (document.size() < 10000) seeds.push_back(std::move(document));
    }
    std::mt19937 random(20261207);
    auto below = [&](std::size_t n) { return n ? random() % n : 0; };
    int accepted = 0, total = 0;
    for (int round = 0; round < 30000; ++round) {
        std::string document = seeds[below(seeds.size())];
        for (int change = 0, changes = 1 + static_cast<int>(below(3)); change < changes; ++change) {
            std::size_t at = below(document.size() + 1);
            std::size_t length = std::min<std::size_t>(below(4), document.size() - at);
            switch (below(3)) {
                case 0:
                    document.insert(at, pieces[below(pieces.size())]);
                    break;
                case 1:
                    document.erase(at, length);
                    break;
                default:
                    document.replace(at, length, pieces[below(pieces.size())]);
            }
        }
        bool scannerAccepted = false;
        std::string disagreement = compareXmlReaders(bytesOf(document), &scannerAccepted);
        EXPECT_EQ(disagreement, "") << "document: " << testing::PrintToString(document);
        if (!disagreement.empty()) break;
        accepted += scannerAccepted;
        ++total;
    }
    // Most changes break a document; enough of them must still be read by
    // the scanner to the end for the comparison to cover its own way.
    EXPECT_GT(accepted, total / 50);
}

TEST(XmlScanning, ASinkThatFailsIsNotReadAgain) {
    // A sink's own failure ends the reading as it is: the full parser must
    // not start over and hand the sink the same values a second time.
    FailingSink sink(3, base::PropertyListError("the sink is full"));
    std::string document = list("<dict><key>a</key><string>b</string><key>c</key></dict>");
    try {
        base::plist::readXml(bytesOf(document), sink);
        ADD_FAILURE() << "the sink's failure was lost";
    } catch (const base::PropertyListError& error) {
        EXPECT_EQ(error.reason(), "the sink is full");
    }
    EXPECT_EQ(sink.calls, 3);
}
