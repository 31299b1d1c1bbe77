// corral-host running pages from their sources, as a learner edits them:
// the compile cache, the learner's own compiler errors, documents of
// several pages, the store they share, and --watch.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>

#include "HostProcess.h"
#include "PageDocument.h"
#include "ProtocolSession.h"

namespace {

using Json = ProtocolSession::Json;
namespace fs = std::filesystem;

// A compile cache of this test process's own, removed at the end.
class CacheFolder {
public:
    CacheFolder()
        : path_(fs::temp_directory_path() / ("corral-host-cache-" + std::to_string(::getpid()))) {
        fs::remove_all(path_);
    }
    ~CacheFolder() { fs::remove_all(path_); }
    std::string argument() const { return "--cache=" + path_.string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ofstream::trunc) << text;
}

std::vector<std::string> consoleTexts(const ProtocolSession& session) {
    std::vector<std::string> texts;
    for (const auto& event : session.eventsOf("console")) texts.push_back(event.value("text", ""));
    return texts;
}

const char* const pagePrelude =
    "#include \"Corral/Corral.h\"\n"
    "#include \"Corral/PaddockPageModule.h\"\n";

}  // namespace

TEST(HostSourceTest, APageIsCompiledOnceAndCachedByTheContentOfItsSources) {
    CacheFolder cache;
    DocumentCopy copy(GREETING_DOCUMENT, "cache");
    auto run = [&] {
        ProtocolSession session({cache.argument(), copy.path().string()});
        EXPECT_EQ(session.finish(), 0) << session.transcript();
        auto compiled = session.eventsOf("compiled");
        EXPECT_EQ(compiled.size(), 1u) << session.transcript();
        EXPECT_TRUE(contains(session.transcript(), "The greeter says")) << session.transcript();
        return compiled.empty() ? Json() : compiled[0]["cached"];
    };
    EXPECT_EQ(run(), false);
    EXPECT_EQ(run(), true);
    // A change to a user module is a new page module.
    write(copy.path() / "Modules" / "Greeter" / "Greeter.cpp",
          "#include <string>\nstd::string greeting() { return \"Hello there\"; }\n");
    EXPECT_EQ(run(), false);
    EXPECT_EQ(run(), true);
}

TEST(HostSourceTest, CompileErrorsNameTheLearnersFilesAndNothingOfTheHost) {
    CacheFolder cache;
    DocumentCopy copy(GREETING_DOCUMENT, "errors");
    write(copy.path() / "Page.cpp", std::string(pagePrelude) + "\n" +
                                        "PADDOCK_PAGE_MAIN() {\n"
                                        "    int count = \"three\";\n"
                                        "}\n");
    ProtocolSession session({cache.argument(), copy.path().string()});
    EXPECT_EQ(session.finish(), 65) << session.transcript();
    auto failed = session.eventsOf("compileError");
    ASSERT_EQ(failed.size(), 1u) << session.transcript();
    bool found = false;
    for (const auto& d : failed[0]["diagnostics"]) {
        if (d["severity"] != "error") continue;
        EXPECT_EQ(d["file"], "Page.cpp") << d;
        EXPECT_EQ(d["line"], 5) << d;
        EXPECT_GT(d["column"].get<int>(), 4) << d;
        EXPECT_FALSE(d.value("message", "").empty());
        found = true;
    }
    EXPECT_TRUE(found) << session.transcript();
    EXPECT_TRUE(session.eventsOf("started").empty());
    EXPECT_TRUE(session.eventsOf("ended").empty());
    // Nothing of where the host keeps its work or where the document lies.
    for (const std::string& internal :
         {cache.path().string(), copy.path().string(), fs::temp_directory_path().string() + "/"})
        EXPECT_FALSE(contains(failed[0].dump(), internal)) << internal << "\n" << failed[0].dump();

    // The text transcript puts them as a compiler would, file first.
    auto text = runHost(cache.argument() + " " + copy.path().string());
    EXPECT_EQ(text.status, 65);
    EXPECT_TRUE(contains(text.out, "\nPage.cpp:5:")) << text.out;
}

TEST(HostSourceTest, AMachineWithoutACompilerIsToldWhatToInstall) {
    CacheFolder cache;
    ProtocolSession session({cache.argument(), "--compiler=/nonexistent/c++", GREETING_DOCUMENT});
    EXPECT_EQ(session.finish(), 69) << session.transcript();
    auto failed = session.eventsOf("compileError");
    ASSERT_EQ(failed.size(), 1u) << session.transcript();
    EXPECT_TRUE(contains(failed[0].value("problem", ""), "install")) << failed[0];
}

TEST(HostSourceTest, PagesOfADocumentFollowTheirLinksAndShareOneStore) {
    CacheFolder cache;
    const fs::path folder =
        fs::temp_directory_path() / ("corral-tour-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    // A damaged store file: set aside once, however many pages run.
    const fs::path store = folder / "Tour.plist";
    write(store, "not a property list");
    auto run = runHost(cache.argument() + " --store " + store.string() + " " TOUR_DOCUMENT);
    EXPECT_EQ(run.status, 0) << run.out;
    // Welcome -> @next -> Practice -> @previous -> Welcome -> "Summary" -> Summary.
    auto at = [&](const std::string& part, std::size_t from) {
        auto found = run.out.find(part, from);
        EXPECT_NE(found, std::string::npos) << part << "\n" << run.out;
        return found == std::string::npos ? from : found;
    };
    auto welcome = at("page | Welcome to the tour.", 0);
    auto practice = at("page | 1 + 2 + ... + 10 = 55", welcome);
    auto back = at("page | Welcome back: on to the summary.", practice);
    at("page | That was the tour.", back);
    EXPECT_TRUE(contains(run.out, "\"pass\":\"Tour complete\"")) << run.out;

    std::size_t setAside = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("Tour.corrupt-", 0) == 0) ++setAside;
    EXPECT_EQ(setAside, 1u);
    EXPECT_TRUE(fs::exists(store));  // written afresh by the practice page

    // Under the protocol the reader decides: a link is reported, not followed.
    ProtocolSession session(
        {cache.argument(), "--store", store.string(), "--page", "2", TOUR_DOCUMENT});
    EXPECT_EQ(session.finish(), 0) << session.transcript();
    auto hello = session.eventsOf("hello");
    ASSERT_EQ(hello.size(), 1u);
    EXPECT_EQ(hello[0]["pages"], (Json{"Welcome", "Practice", "Summary"}));
    auto opened = session.eventsOf("openPage");
    ASSERT_EQ(opened.size(), 1u) << session.transcript();
    EXPECT_EQ(opened[0]["reference"], "@previous");
    EXPECT_EQ(opened[0]["page"], 0);
    EXPECT_EQ(session.eventsOf("started").size(), 1u);
    fs::remove_all(folder);
}

TEST(HostSourceTest, WatchRunsThePageAgainWhenItsSourcesChange) {
    CacheFolder cache;
    DocumentCopy copy(GREETING_DOCUMENT, "watch");
    auto page = [](const std::string& words) {
        return std::string(pagePrelude) + "PADDOCK_PAGE_MAIN() { base::print(\"" + words +
               "\"); }\n";
    };
    write(copy.path() / "Page.cpp", page("first version"));
    ProtocolSession session({cache.argument(), "--watch", copy.path().string()});
    ASSERT_TRUE(session.waitFor("ended")) << session.transcript();
    write(copy.path() / "Page.cpp", page("the second version"));
    ASSERT_TRUE(session.waitFor("ended")) << session.transcript();
    // A broken edit is reported and the host keeps watching.
    write(copy.path() / "Page.cpp", page("a third version") + "oops\n");
    ASSERT_TRUE(session.waitFor("compileError")) << session.transcript();
    write(copy.path() / "Page.cpp", page("the fourth version"));
    ASSERT_TRUE(session.waitFor("ended")) << session.transcript();
    session.send({{"command", "stop"}});
    EXPECT_EQ(session.finish(), 0) << session.transcript();
    EXPECT_EQ(
        consoleTexts(session),
        (std::vector<std::string>{"first version", "the second version", "the fourth version"}))
        << session.transcript();
}

TEST(HostSourceTest, TheCompilerIsAskedForItsVersionOncePerCache) {
    // A cached run must not pay for starting the compiler at all.
    CacheFolder cache;
    fs::create_directories(cache.path());
    const fs::path counter = cache.path() / "asked";
    const fs::path compiler = cache.path() / "counting-c++";
    write(compiler,
          "#!/bin/sh\n"
          "[ \"$1\" = --version ] && echo asked >>'" +
              counter.string() + "'\nexec c++ \"$@\"\n");
    fs::permissions(compiler, fs::perms::owner_all);
    for (int run = 0; run < 3; ++run) {
        auto result = runHost(cache.argument() + " --compiler=" + compiler.string() + " " +
                              GREETING_DOCUMENT);
        EXPECT_EQ(result.status, 0) << result.out;
    }
    auto asked = host::readTextFile(counter);
    EXPECT_EQ(asked.value_or(""), "asked\n");
}

namespace {

// Whether process `pid` still runs (a zombie nobody reaped has ended).
bool stillRuns(const std::string& pidText) {
    auto stat = host::readTextFile("/proc/" + pidText + "/stat");
    if (!stat) return false;
    auto state = stat->rfind(')');
    return state != std::string::npos && state + 2 < stat->size() && (*stat)[state + 2] != 'Z';
}

}  // namespace

TEST(HostSourceTest, AStopWhileThePageCompilesKillsTheCompilerAndEndsTheRun) {
    // A compiler that never finishes, and has started a helper of its own,
    // as a compiler driver starts the compiler proper.
    CacheFolder cache;
    fs::create_directories(cache.path());
    const fs::path driver = cache.path() / "driver", helper = cache.path() / "helper";
    const fs::path compiler = cache.path() / "endless-c++";
    write(compiler,
          "#!/bin/sh\n"
          "[ \"$1\" = --version ] && { echo 'endless c++ 1'; exit 0; }\n"
          "echo $$ >'" +
              driver.string() + ".new' && mv '" + driver.string() + ".new' '" + driver.string() +
              "'\n"
              "sleep 300 &\n"
              "echo $! >'" +
              helper.string() + ".new' && mv '" + helper.string() + ".new' '" + helper.string() +
              "'\n"
              "wait\n");
    fs::permissions(compiler, fs::perms::owner_all);
    DocumentCopy copy(GREETING_DOCUMENT, "stop-compile");
    ProtocolSession session(
        {cache.argument(), "--compiler=" + compiler.string(), copy.path().string()});
    ASSERT_TRUE(session.waitFor("compiling")) << session.transcript();
    for (int i = 0; i < 1000 && !fs::exists(helper); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(helper) && fs::exists(driver));
    auto driverPid = host::readTextFile(driver).value_or(""),
         helperPid = host::readTextFile(helper).value_or("");
    driverPid.erase(driverPid.find_last_not_of("\n") + 1);
    helperPid.erase(helperPid.find_last_not_of("\n") + 1);
    ASSERT_TRUE(stillRuns(driverPid) && stillRuns(helperPid));

    session.send({{"command", "stop"}});
    // Without the stop the compile would outlast the session's patience.
    EXPECT_EQ(session.finish(std::chrono::seconds(30)), 0) << session.transcript();
    std::vector<std::string> kinds;
    for (const auto& event : session.events()) kinds.push_back(event.value("event", ""));
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.back(), "ended") << session.transcript();
    for (const char* never : {"compiled", "compileError", "started"})
        EXPECT_EQ(std::count(kinds.begin(), kinds.end(), never), 0) << never;
    auto ended = session.eventsOf("ended");
    ASSERT_EQ(ended.size(), 1u) << session.transcript();
    EXPECT_EQ(ended[0]["cause"], "stopped");
    EXPECT_EQ(ended[0]["status"], 0);
    EXPECT_TRUE(contains(ended[0].value("message", ""), "compiling")) << ended[0];
    // The compiler and what it started are gone, not left to finish. The
    // host reaps the compiler; the helper was killed with it, and its end,
    // which the system delivers on its own time, follows within moments.
    EXPECT_FALSE(stillRuns(driverPid));
    for (int i = 0; i < 200 && stillRuns(helperPid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(stillRuns(helperPid));
}
