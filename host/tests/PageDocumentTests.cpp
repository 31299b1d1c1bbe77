#include <gtest/gtest.h>

#include <fstream>

#include "Corral/testing/ScratchFolder.h"
#include "PageDocument.h"

namespace fs = std::filesystem;
using host::PageDocument;

namespace {
class PageDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = testing_support::freshScratchFolder("page-document");
        fs::create_directories(root / "Doc.paddock" / "Modules" / "Alpha");
        testing_support::writeTextFiles(root, {{"Doc.paddock/Page.cpp", "page text"},
                                               {"Doc.paddock/Modules/Shapes/b.cpp", "B"},
                                               {"Doc.paddock/Modules/Shapes/a.cpp", "A"},
                                               {"Doc.paddock/Modules/Shapes/.hidden", "H"},
                                               {"secret.txt", "outside"}});
    }
    void TearDown() override { fs::remove_all(root); }
    static void write(const fs::path& path, const std::string& text) {
        testing_support::writeTextFile(path, text);
    }
    PageDocument open() {
        std::string error;
        auto document = PageDocument::open(root / "Doc.paddock", error);
        EXPECT_TRUE(document) << error;
        return *document;
    }
    fs::path root;
};
}  // namespace

TEST_F(PageDocumentTest, ReadsThePageAndItsModulesInNameOrder) {
    auto document = open();
    EXPECT_EQ(document.pageText(), "page text");
    EXPECT_EQ(document.moduleNames(), (std::vector<std::string>{"Alpha", "Shapes"}));
    EXPECT_EQ(document.sourceFiles("Shapes"), (std::vector<std::string>{"a.cpp", "b.cpp"}));
    EXPECT_EQ(document.sourceText("b.cpp", "Shapes"), "B");
    EXPECT_EQ(document.sourceText("c.cpp", "Shapes"), std::nullopt);
    EXPECT_TRUE(document.sourceFiles("Nowhere").empty());
    write(root / "Doc.paddock" / "Page.cpp", "edited");
    EXPECT_EQ(document.pageText(), "edited");  // read afresh
}

TEST_F(PageDocumentTest, NamesCannotReachOutsideTheDocument) {
    auto document = open();
    EXPECT_EQ(document.sourceText("../../../secret.txt", "Shapes"), std::nullopt);
    EXPECT_EQ(document.sourceText("secret.txt", "../.."), std::nullopt);
    EXPECT_EQ(document.sourceText("Page.cpp", ".."), std::nullopt);
    EXPECT_EQ(document.sourceText(".hidden", "Shapes"), std::nullopt);
    EXPECT_TRUE(document.sourceFiles("..").empty());
}

TEST_F(PageDocumentTest, RejectsFoldersThatAreNotDocuments) {
    std::string error;
    EXPECT_FALSE(PageDocument::open(root / "missing", error));
    EXPECT_NE(error.find("no page document"), std::string::npos);
    EXPECT_FALSE(PageDocument::open(root / "Doc.paddock" / "Modules", error));
    EXPECT_NE(error.find("Page.cpp"), std::string::npos);
}
