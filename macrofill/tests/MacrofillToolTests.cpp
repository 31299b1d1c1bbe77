// Black-box tests of the macrofill program: each runs the built binary with
// arguments, environment and standard input, and checks its output, its
// messages and its exit status.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "Corral/base/FileSystem.h"
#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"
#include "Corral/testing/HostilePropertyLists.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// The usage text, word for word, kept apart from the program that prints it.
const std::string usage = [] {
    auto bytes = base::readFile(MACROFILL_TEST_DATA "/usage.txt");
    return bytes ? std::string(bytes->begin(), bytes->end())
                 : std::string("(usage.txt is missing)");
}();

const std::string settingsXml =
    "<plist><dict><key>PRODUCT</key><string>Corral</string><key>VERSION</key><string>1.2</string>"
    "<key>COUNT</key><integer>3</integer><key>LOOP</key><string>$(LOOP)</string></dict></plist>";

const std::string templateXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
    "\t<key>z-name $(PRODUCT)</key>\n\t<string>$(PRODUCT) $(VERSION)$(MISSING)</string>\n"
    "\t<key>a-list</key>\n\t<array>\n\t\t<string>$$(PRODUCT)</string>\n\t\t<integer>7</"
    "integer>\n\t</array>\n"
    "</dict>\n</plist>\n";

const std::string expectedXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
    "\t<key>z-name $(PRODUCT)</key>\n\t<string>Corral 1.2</string>\n"
    "\t<key>a-list</key>\n\t<array>\n\t\t<string>$$(PRODUCT)</string>\n\t\t<integer>7</"
    "integer>\n\t</array>\n"
    "</dict>\n</plist>\n";

class MacrofillTool : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "macrofill-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        write("settings.plist", settingsXml);
        write("in.plist", templateXml);
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    void write(const std::string& name, const std::string& content) const {
        std::ofstream(path(name), std::ofstream::binary) << content;
    }

    std::string contents(const std::string& name) const {
        std::ifstream in(path(name), std::ifstream::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        DIR* dir = opendir(dir_.c_str());
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != ".." && name.rfind("std", 0) != 0) names.push_back(name);
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }

    // Runs the tool in the temporary folder. `stdoutPath` replaces the
    // captured standard output (for /dev/full, say).
    Outcome run(std::vector<std::string> args, const std::string& input = "",
                std::vector<std::string> environment = {"HOME=/home/tester", "PATH=/usr/bin:/bin"},
                const std::string& stdoutPath = "") {
        write("stdin", input);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
        posix_spawn_file_actions_addopen(&actions, 0, path("stdin").c_str(), O_RDONLY, 0);
        std::string out = stdoutPath.empty() ? path("stdout") : stdoutPath;
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, path("stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        return spawn(args, environment, &actions);
    }

    Outcome spawn(std::vector<std::string> args, std::vector<std::string> environment,
                  posix_spawn_file_actions_t* actions) {
        args.insert(args.begin(), MACROFILL_PATH);
        std::vector<char*> argv, envp;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        // Sanitizer settings pass through to the tool.
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name))
                environment.push_back(std::string(name) + "=" + value);
        }
        for (auto& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        pid_t pid;
        Outcome result;
        if (posix_spawn(&pid, MACROFILL_PATH, actions, nullptr, argv.data(), envp.data()) != 0)
            return result;
        posix_spawn_file_actions_destroy(actions);
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = contents("stdout");
        result.err = contents("stderr");
        return result;
    }

    std::string dir_;
};

std::string errorLine(const std::string& message, const std::string& prefix = "") {
    return (prefix.empty() ? "" : prefix + ": ") + "error: " + message + "\n";
}

// A dictionary of `entries` strings with references, some repeated far
// apart, well past what a writer buffers; `tail` goes before its end.
std::string largeList(int entries, const std::string& tail = "") {
    std::string xml = "<plist version=\"1.0\"><dict>";
    for (int i = 0; i < entries; ++i) {
        xml += "<key>entry" + std::to_string(i) + "</key><array><string>$(PRODUCT) item " +
               std::to_string(i) + "</string><string>shared " + std::to_string(i % 7) +
               "</string><integer>" + std::to_string(i % 1000) + "</integer></array>";
    }
    return xml + tail + "</dict></plist>";
}

}  // namespace

TEST_F(MacrofillTool, HelpPrintsTheUsageAndSucceeds) {
    for (auto args : {std::vector<std::string>{"--help"}, {"in.plist", "--help", "--bogus", "x"}}) {
        Outcome r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, usage);
        EXPECT_EQ(r.err, "");
    }
    // Directly after --output, "--help" is the output path.
    Outcome r = run({"in.plist", "--output", "--help"});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err,
              errorLine("either --build-settings or --use-environment must be specified") + usage);
}

TEST_F(MacrofillTool, MissingArgumentsAreReportedTogetherBeforeTheUsage) {
    Outcome r = run({});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              errorLine("an input file must be specified") +
                  errorLine("an output file must be specified with --output") +
                  errorLine("either --build-settings or --use-environment must be specified") +
                  usage);
    r = run({"--use-environment", "in.plist"});
    EXPECT_EQ(r.err, errorLine("an output file must be specified with --output") + usage);
}

TEST_F(MacrofillTool, OptionsWithoutValuesAndSecondInputsEndTheProgramAtOnce) {
    Outcome r = run({"in.plist", "--output"});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err, errorLine("--output argument specified without a value") + usage);
    r = run({"--use-environment", "--build-settings"});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err, errorLine("--build-settings argument specified without a value") + usage);
    // The second input path ends it before --output is seen to lack a value.
    r = run({"a.plist", "b.plist", "--output"});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err, errorLine("only one input file may be specified"));
    // An option's value is taken whatever it looks like; other "--" words are input paths.
    r = run({"--output", "--use-environment", "--verbose", "--build-settings", "settings.plist"});
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err, errorLine("unable to open input file for reading", "--verbose"));
    EXPECT_EQ(run({"--Help"}).err,
              errorLine("an output file must be specified with --output") +
                  errorLine("either --build-settings or --use-environment must be specified") +
                  usage);
}

TEST_F(MacrofillTool, ExpandsIntoTheOutputFileKeepingKeyOrderAndFormat) {
    Outcome r = run({"--build-settings", "settings.plist", "--output", "out.plist", "in.plist"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(contents("out.plist"), expectedXml);

    // Binary in, binary out.
    auto root =
        base::readPropertyList(std::span(reinterpret_cast<const std::uint8_t*>(templateXml.data()),
                                         templateXml.size()))
            .root;
    auto binary = base::writePropertyList(root, base::PropertyListFormat::binary);
    write("in.bin", std::string(binary.begin(), binary.end()));
    r = run({"--output", "out.bin", "--build-settings", "settings.plist", "in.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string out = contents("out.bin");
    ASSERT_EQ(out.substr(0, 8), "bplist00");
    auto expected = base::writePropertyList(
        base::readPropertyList(std::span(reinterpret_cast<const std::uint8_t*>(expectedXml.data()),
                                         expectedXml.size()))
            .root,
        base::PropertyListFormat::binary);
    EXPECT_EQ(out, std::string(expected.begin(), expected.end()));
    EXPECT_EQ(files(), (std::vector<std::string>{"in.bin", "in.plist", "out.bin", "out.plist",
                                                 "settings.plist"}));
}

TEST_F(MacrofillTool, WorksAsAFilterAndRepeatedOptionsTakeTheLastValue) {
    Outcome r =
        run({"--output", "ignored.plist", "--build-settings", "absent.plist", "--build-settings",
             "settings.plist", "--output", "-", "--use-environment", "--use-environment", "-"},
            templateXml);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expectedXml);
    EXPECT_EQ(files(), (std::vector<std::string>{"in.plist", "settings.plist"}));
}

TEST_F(MacrofillTool, TheBuildSettingsFileOverridesTheEnvironment) {
    write("names.plist",
          "<plist><string>$(PRODUCT)|$(HOME)|$(ONLY_ENV)|$(EMPTY)|$(PATH)</string></plist>");
    Outcome r = run(
        {"--use-environment", "--build-settings", "settings.plist", "--output", "-", "names.plist"},
        "",
        {"PRODUCT=from-env", "HOME=/home/tester", "ONLY_ENV=a=b", "EMPTY=", "PATH=/first",
         "PATH=/second", "NOEQUALS"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("<string>Corral|/home/tester|a=b||/first</string>"), std::string::npos)
        << r.out;
    // Without --use-environment the environment is not consulted.
    r = run({"--build-settings", "settings.plist", "--output", "-", "names.plist"}, "",
            {"HOME=/home/tester"});
    EXPECT_NE(r.out.find("<string>Corral||||</string>"), std::string::npos) << r.out;
}

TEST_F(MacrofillTool, OnlyTheBuildSettingsPathHasItsTildeExpanded) {
    Outcome r = run({"--build-settings", "~/settings.plist", "--output", "-", "in.plist"}, "",
                    {"HOME=" + dir_});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expectedXml);
    r = run({"--build-settings", "settings.plist", "--output", "-", "~/in.plist"}, "",
            {"HOME=" + dir_});
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err, errorLine("unable to open input file for reading", "~/in.plist"));
    // "-" as the build-settings path is a file of that name.
    write("-", settingsXml);
    r = run({"--build-settings", "-", "--output", "-", "in.plist"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expectedXml);
}

TEST_F(MacrofillTool, UnreadableBuildSettingsAreADataError) {
    write("array.plist", "<plist><array><string>x</string></array></plist>");
    write("garbage.plist", "{ not closed");
    for (std::string settings : {"array.plist", "garbage.plist", "absent.plist", "."}) {
        Outcome r = run({"--use-environment", "--build-settings", settings, "--output", "out.plist",
                         "in.plist"});
        EXPECT_EQ(r.status, 65) << settings;
        EXPECT_EQ(r.err, errorLine("unable to open build settings file for reading", settings));
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"array.plist", "garbage.plist", "in.plist",
                                                 "settings.plist"}));
}

TEST_F(MacrofillTool, InputFailuresNameTheInput) {
    write("bad.plist", "<plist><dict><key>k</key></dict></plist>");
    Outcome r = run({"--use-environment", "--output", "out.plist", "absent.plist"});
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err, errorLine("unable to open input file for reading", "absent.plist"));
    r = run({"--use-environment", "--output", "out.plist", "bad.plist"});
    EXPECT_EQ(r.status, 65);
    EXPECT_EQ(r.err, errorLine("input file is not a valid property list", "bad.plist"));
    r = run({"--use-environment", "--output", "-", "-"}, "bplist00 truncated");
    EXPECT_EQ(r.status, 65);
    EXPECT_EQ(r.err, errorLine("input file is not a valid property list", "-"));
    EXPECT_EQ(r.out, "");
}

TEST_F(MacrofillTool, AListThatWouldExpandFarBeyondItsSizeIsNotValid) {
    // One data object referred to 20,012 times: 40,076 bytes that would
    // read as 400 MB.
    auto hostile = testing_support::sharedDataList(20012, 20012);
    write("shared.plist", std::string(hostile.begin(), hostile.end()));
    Outcome r =
        run({"--build-settings", "settings.plist", "--output", "out.plist", "shared.plist"});
    EXPECT_EQ(r.status, 65);
    EXPECT_EQ(r.err, errorLine("input file is not a valid property list", "shared.plist"));
    EXPECT_EQ(files(), (std::vector<std::string>{"in.plist", "settings.plist", "shared.plist"}));
}

TEST_F(MacrofillTool, ResultsThatCannotBeWrittenAreAnInternalError) {
    write("number.plist", "<plist><integer>5</integer></plist>");
    write("text.plist", "{ name = \"$(PRODUCT)\"; }");
    write("out.plist", "old contents");
    for (std::string input : {"number.plist", "text.plist"}) {
        Outcome r = run({"--build-settings", "settings.plist", "--output", "out.plist", input});
        EXPECT_EQ(r.status, 70) << input;
        EXPECT_EQ(r.err, errorLine("unknown error occurred while expanding build settings"));
    }
    EXPECT_EQ(contents("out.plist"), "old contents");
}

TEST_F(MacrofillTool, ExpansionFailuresEndWithADataErrorAndWriteNothing) {
    write("out.plist", "old contents");
    write("count.plist",
          "<plist><array><string>ok</string><string>$(COUNT)</string></array></plist>");
    Outcome r = run({"--build-settings", "settings.plist", "--output", "out.plist", "count.plist"});
    EXPECT_EQ(r.status, 65);
    // The input as prefix, and the place of the string in the list.
    EXPECT_EQ(r.err, errorLine("The value for the macro COUNT is not an Utterance but is a Number "
                               "(at [1])",
                               "count.plist"));
    write("loop.plist", "<plist><string>$(LOOP)</string></plist>");
    r = run({"--build-settings", "settings.plist", "--output", "out.plist", "loop.plist"});
    EXPECT_EQ(r.status, 65);
    EXPECT_EQ(r.err,
              errorLine("build setting references form a cycle: LOOP -> LOOP", "loop.plist"));
    r = run({"--build-settings", "settings.plist", "--output", "out.plist", "-"},
            "<plist><dict><key>Types</key><array><string>$(LOOP)</string></array></dict></plist>");
    EXPECT_EQ(r.err,
              errorLine("build setting references form a cycle: LOOP -> LOOP (at Types[0])", "-"));
    r = run({"--build-settings", "settings.plist", "--output", "-", "loop.plist"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(contents("out.plist"), "old contents");
    EXPECT_EQ(files(), (std::vector<std::string>{"count.plist", "in.plist", "loop.plist",
                                                 "out.plist", "settings.plist"}));
}

TEST_F(MacrofillTool, FailedWritesAreReportedAndLeaveTheOldFile) {
    Outcome r =
        run({"--build-settings", "settings.plist", "--output", "missing/out.plist", "in.plist"});
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err, errorLine("failed to write to output file"));
    // The output path is a folder: the new file cannot take its place.
    ASSERT_EQ(mkdir(path("folder").c_str(), 0755), 0);
    r = run({"--build-settings", "settings.plist", "--output", "folder", "in.plist"});
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(files(), (std::vector<std::string>{"folder", "in.plist", "settings.plist"}));
    // A full disk on standard output.
    r = run({"--build-settings", "settings.plist", "--output", "-", "in.plist"}, "", {},
            "/dev/full");
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err, errorLine("failed to write to output file"));
}

TEST_F(MacrofillTool, AClosedPipeOnStandardOutputIsAFailure) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, path("stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    write("stdout", "");
    Outcome r =
        spawn({"--build-settings", "settings.plist", "--output", "-", "in.plist"}, {}, &actions);
    close(fds[1]);
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err, errorLine("failed to write to output file"));
}

// Runs the tool with standard input coming down a pipe that a thread fills.
TEST_F(MacrofillTool, InputThroughAPipeIsReadToItsEnd) {
    std::string list = largeList(20000);  // far more than a pipe holds at once
    write("big.plist", list);
    Outcome fromFile = run({"--build-settings", "settings.plist", "--output", "-", "big.plist"});
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;

    for (bool named : {false, true}) {
        int fds[2] = {-1, -1};
        std::string fifo = path("fifo");
        ASSERT_EQ(named ? mkfifo(fifo.c_str(), 0600) : pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
        if (named) {
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        } else {
            posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
            posix_spawn_file_actions_addclose(&actions, fds[1]);
        }
        posix_spawn_file_actions_addopen(&actions, 1, path("stdout").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, path("stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::thread feeder([&] {
            int out = named ? open(fifo.c_str(), O_WRONLY) : fds[1];
            base::writeAll(
                out, std::span(reinterpret_cast<const std::uint8_t*>(list.data()), list.size()));
            close(out);
        });
        Outcome r = spawn(
            {"--build-settings", "settings.plist", "--output", "out.plist", named ? "fifo" : "-"},
            {}, &actions);
        if (!named) close(fds[0]);
        feeder.join();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(contents("out.plist"), fromFile.out) << (named ? "named pipe" : "pipe");
        if (named) unlink(fifo.c_str());
    }
}

TEST_F(MacrofillTool, EmptyInputsAreNotListsAndFoldersCannotBeRead) {
    write("empty.plist", "");
    for (std::string input : {"empty.plist", "/dev/null"}) {
        Outcome r = run({"--build-settings", "settings.plist", "--output", "out.plist", input});
        EXPECT_EQ(r.status, 65) << input;
        EXPECT_EQ(r.err, errorLine("input file is not a valid property list", input));
    }
    Outcome r = run({"--build-settings", "settings.plist", "--output", "out.plist", "-"}, "");
    EXPECT_EQ(r.err, errorLine("input file is not a valid property list", "-"));
    ASSERT_EQ(mkdir(path("folder").c_str(), 0755), 0);
    r = run({"--build-settings", "settings.plist", "--output", "out.plist", "folder"});
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err, errorLine("unable to open input file for reading", "folder"));
    EXPECT_EQ(files(),
              (std::vector<std::string>{"empty.plist", "folder", "in.plist", "settings.plist"}));
}

TEST_F(MacrofillTool, LargeListsWrittenToAFileMatchTheFilterOutput) {
    // XML; binary, whose equal strings are shared across the whole file;
    // and a list that gives a key twice, which is written a second time
    // from the start after much of it was written once.
    std::string duplicate = "<key>entry5</key><string>again $(PRODUCT)</string>";
    write("big.xml", largeList(20000));
    write("twice.xml", largeList(20000, duplicate));
    std::string xml = contents("big.xml");
    auto root = base::readPropertyList(
        std::span(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()));
    auto binary = base::writePropertyList(root.root, base::PropertyListFormat::binary);
    write("big.bin", std::string(binary.begin(), binary.end()));
    for (std::string input : {"big.xml", "big.bin", "twice.xml"}) {
        Outcome filtered = run({"--build-settings", "settings.plist", "--output", "-", input});
        ASSERT_EQ(filtered.status, 0) << filtered.err;
        Outcome r = run({"--build-settings", "settings.plist", "--output", "out", input});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string out = contents("out");
        EXPECT_GT(out.size(), 500000u) << input;
        EXPECT_EQ(out, filtered.out) << input;
    }
    EXPECT_NE(contents("out").find("<string>again Corral</string>"), std::string::npos);
    EXPECT_EQ(contents("out").find("entry5</key>", contents("out").find("entry5</key>") + 1),
              std::string::npos);  // the key once, at its first place
}

TEST_F(MacrofillTool, AFailureMidwayLeavesTheOldTargetAndNoNewFile) {
    write("out.plist", "old contents");
    // Found invalid, or failing to expand, after much had been written.
    write("late-invalid.plist", largeList(20000, "<key>last</key><integer>x</integer>"));
    write("late-failure.plist", largeList(20000, "<key>last</key><string>$(COUNT)</string>"));
    Outcome r =
        run({"--build-settings", "settings.plist", "--output", "out.plist", "late-invalid.plist"});
    EXPECT_EQ(r.status, 65);
    EXPECT_EQ(r.err, errorLine("input file is not a valid property list", "late-invalid.plist"));
    r = run({"--build-settings", "settings.plist", "--output", "out.plist", "late-failure.plist"});
    EXPECT_EQ(r.status, 65);
    EXPECT_NE(r.err.find("not an Utterance"), std::string::npos) << r.err;

    // The file system refuses more than 64 kB part way through the output.
    write("big.plist", largeList(20000));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{65536, 65536};
        setrlimit(RLIMIT_FSIZE, &limit);
        int err = open(path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        if (chdir(dir_.c_str()) != 0) _exit(126);
        execl(MACROFILL_PATH, MACROFILL_PATH, "--build-settings", "settings.plist", "--output",
              "out.plist", "big.plist", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 74);
    EXPECT_EQ(contents("stderr"), errorLine("failed to write to output file"));
    EXPECT_EQ(contents("out.plist"), "old contents");
    EXPECT_EQ(files(),
              (std::vector<std::string>{"big.plist", "in.plist", "late-failure.plist",
                                        "late-invalid.plist", "out.plist", "settings.plist"}));
}
