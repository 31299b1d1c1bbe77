#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

#include "Corral/testing/ScratchFolder.h"
#include "DocumentFiles.h"

namespace studio {

namespace fs = std::filesystem;
using testing_support::freshScratchFolder;

class DocumentFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = freshScratchFolder("studio-files");
        testing_support::writeTextFiles(root,
                                        {{"Doc.paddock/Page.cpp", "int main() {}\n"},
                                         {"Doc.paddock/Modules/Shapes/Square.cpp", "// square\n"},
                                         {"Doc.paddock/Modules/Shapes/Circle.h", "// circle\n"},
                                         {"Doc.paddock/Modules/Shapes/notes.txt", "not a source\n"},
                                         {"outside.cpp", "secret\n"}});
    }
    void TearDown() override { fs::remove_all(root); }
    static void write(const fs::path& path, const std::string& text) {
        testing_support::writeTextFile(path, text);
    }
    static std::string read(const fs::path& path) { return testing_support::readTextFile(path); }
    fs::path root;
};

TEST_F(DocumentFilesTest, ListsThePageFirstThenModuleSourcesInOrder) {
    const auto files = DocumentFiles(root / "Doc.paddock").list();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "Page.cpp");
    EXPECT_EQ(files[0].text, "int main() {}\n");
    EXPECT_EQ(files[1].module + "/" + files[1].name, "Shapes/Circle.h");
    EXPECT_EQ(files[2].module + "/" + files[2].name, "Shapes/Square.cpp");
}

TEST_F(DocumentFilesTest, SavesReplaceTheTextAndLeaveNoTemporaryFile) {
    DocumentFiles files(root / "Doc.paddock");
    std::string error;
    ASSERT_TRUE(files.save("", "Page.cpp", "int x;\n", error)) << error;
    ASSERT_TRUE(files.save("Shapes", "Triangle.cpp", "// new\n", error)) << error;
    EXPECT_EQ(read(root / "Doc.paddock" / "Page.cpp"), "int x;\n");
    EXPECT_EQ(read(root / "Doc.paddock" / "Modules" / "Shapes" / "Triangle.cpp"), "// new\n");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(root / "Doc.paddock"))
        ++entries;
    EXPECT_EQ(entries, 2u);  // Page.cpp and Modules
}

TEST_F(DocumentFilesTest, RefusesNamesThatLeaveTheDocumentOrAreNotSources) {
    DocumentFiles files(root / "Doc.paddock");
    std::string error;
    EXPECT_FALSE(files.save("", "../outside.cpp", "x", error));
    EXPECT_FALSE(files.save("..", "outside.cpp", "x", error));
    EXPECT_FALSE(files.save("Shapes", "../../../outside.cpp", "x", error));
    EXPECT_FALSE(files.save("Shapes", ".hidden.cpp", "x", error));
    EXPECT_FALSE(files.save("Shapes", "notes.txt", "x", error));
    EXPECT_FALSE(files.save("Missing", "A.cpp", "x", error));
    EXPECT_FALSE(files.save("", "Other.cpp", "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(read(root / "outside.cpp"), "secret\n");
    EXPECT_EQ(read(root / "Doc.paddock" / "Modules" / "Shapes" / "notes.txt"), "not a source\n");

    fs::create_directory_symlink(root, root / "Doc.paddock" / "Modules" / "Escape");
    EXPECT_FALSE(files.save("Escape", "outside.cpp", "x", error));
    EXPECT_EQ(read(root / "outside.cpp"), "secret\n");
}

}  // namespace studio
