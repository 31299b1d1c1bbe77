// Reading a compiler's messages as the learner's own.
#include <gtest/gtest.h>

#include "PageCompiler.h"

using host::PageCompiler;

TEST(PageCompilerTest, DiagnosticsNameTheLearnersFilesAndNothingOfTheHost) {
    const std::string output =
        "Page.cpp: In function 'void corralPageMain()':\n"
        "Page.cpp:4:13: error: 'undefinedThing' was not declared in this scope\n"
        "./Modules/Greeter/Greeter.cpp:2:1: warning: no return statement [-Wreturn-type]\n"
        "In file included from Page.cpp:1:\n"
        "/opt/corral/include/Corral/PaddockPage.h:10:5: note: declared here\n"
        "/work/doc/Page.cpp:7: error: expected ';'\n"
        "/usr/bin/ld: /tmp/ccQ2x.o: in function `corralPageMain':\n"
        "Page.cpp:(.text+0x11): undefined reference to `greeting(std::string const&)'\n"
        "collect2: error: ld returned 1 exit status\n";
    auto diagnostics = PageCompiler::parseDiagnostics(output, {"/opt/corral/include", "/work/doc"});
    ASSERT_EQ(diagnostics.size(), 5u);
    EXPECT_EQ(diagnostics[0].file, "Page.cpp");
    EXPECT_EQ(diagnostics[0].line, 4);
    EXPECT_EQ(diagnostics[0].column, 13);
    EXPECT_EQ(diagnostics[0].severity, "error");
    EXPECT_EQ(diagnostics[0].message, "'undefinedThing' was not declared in this scope");
    EXPECT_EQ(diagnostics[1].file, "Modules/Greeter/Greeter.cpp");
    EXPECT_EQ(diagnostics[1].severity, "warning");
    EXPECT_EQ(diagnostics[2].file, "Corral/PaddockPage.h");
    EXPECT_EQ(diagnostics[2].severity, "note");
    EXPECT_EQ(diagnostics[3].file, "Page.cpp");
    EXPECT_EQ(diagnostics[3].line, 7);
    EXPECT_EQ(diagnostics[3].column, 0);
    EXPECT_EQ(diagnostics[4].file, "Page.cpp");
    EXPECT_EQ(diagnostics[4].line, 0);
    EXPECT_EQ(diagnostics[4].message, "undefined reference to `greeting(std::string const&)'");
    for (const auto& d : diagnostics) {
        EXPECT_EQ(d.message.find("/tmp/"), std::string::npos) << d.message;
        EXPECT_TRUE(d.file.empty() || d.file.front() != '/') << d.file;
    }
}
