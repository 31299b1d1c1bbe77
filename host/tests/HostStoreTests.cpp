// The host keeps the key-value store in the page document from run to run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "Corral/base/FileSystem.h"
#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"
#include "HostProcess.h"

namespace fs = std::filesystem;

namespace {

base::Ref<base::Dictionary> readStore(const fs::path& file) {
    auto bytes = base::readFile(file.string());
    if (!bytes) return nullptr;
    return base::cast<base::Dictionary>(base::readPropertyList(*bytes).root);
}

std::string counterRun(const DocumentCopy& document) {
    return runHost(std::string(COUNTER_PAGE) + " " + document.path().string()).out;
}

}  // namespace

TEST(HostStoreTest, CounterSurvivesRunsAndADamagedFileIsKeptAside) {
    DocumentCopy document(COUNTER_DOCUMENT, "counter");
    EXPECT_TRUE(contains(counterRun(document), "page | This page has been run 1 time."));
    auto second = counterRun(document);
    EXPECT_TRUE(contains(second, "page | This page has been run 2 times.")) << second;
    auto saved = readStore(document.store());
    ASSERT_TRUE(saved);
    auto runs = base::cast<base::Number>(saved->objectForKey("runs"));
    ASSERT_TRUE(runs);
    EXPECT_EQ(runs->integerValue(), 2);

    // A damaged file is reported, kept with its bytes, and not overwritten.
    const std::string damage = "bplist00 this is not a store";
    std::ofstream(document.store(), std::ofstream::binary | std::ofstream::trunc) << damage;
    auto third = counterRun(document);
    EXPECT_TRUE(contains(third, "host | store: the key-value store file")) << third;
    EXPECT_TRUE(contains(third, "is damaged")) << third;
    EXPECT_TRUE(contains(third, "page | This page has been run 1 time.")) << third;
    int keptAside = 0;
    for (const auto& entry : fs::directory_iterator(document.path())) {
        std::string name = entry.path().filename().string();
        if (name.rfind("KeyValueStore.corrupt-", 0) != 0) continue;
        ++keptAside;
        std::ifstream in(entry.path(), std::ifstream::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), damage);
    }
    EXPECT_EQ(keptAside, 1);
    EXPECT_TRUE(readStore(document.store()));
}

TEST(HostStoreTest, StoreFileSurvivesAKillAtAnyMomentOfSaving) {
    DocumentCopy document(COUNTER_DOCUMENT, "kill");
    std::mt19937 random(std::random_device{}());
    // The host starts two processes before the page runs (longer under the
    // sanitizers): the kills fall anywhere from before the first save to
    // well into the saving.
    std::uniform_int_distribution<int> delayMs(20, 800);
    const auto budget = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int rounds = 0, sawSaves = 0;
    while (rounds < 3 || (std::chrono::steady_clock::now() < budget && rounds < 30)) {
        ++rounds;
        pid_t child = ::fork();
        if (child == 0) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::execl(CORRAL_HOST, CORRAL_HOST, testPage("page-test-CountsFast").c_str(),
                    document.path().c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        if (!fs::exists(document.store())) continue;  // killed before the first save
        base::Ref<base::Dictionary> store;
        try {
            store = readStore(document.store());
        } catch (const base::PropertyListError& e) {
            FAIL() << "round " << rounds << ": torn store file: " << e.what();
        }
        ASSERT_TRUE(store) << "round " << rounds;
        auto payload = base::cast<base::String>(store->objectForKey("payload"));
        ASSERT_TRUE(payload);
        EXPECT_EQ(payload->text(), std::string(20000, 'x'));
        if (auto count = base::cast<base::Number>(store->objectForKey("count"))) {
            // Every run starts counting again at 1, so only sanity is checked.
            EXPECT_GE(count->integerValue(), 1);
            ++sawSaves;
        }
    }
    EXPECT_GT(sawSaves, 0) << "no round got as far as saving";
    // Temporary files of killed saves are cleared by the next run.
    counterRun(document);
    for (const auto& entry : fs::directory_iterator(document.path())) {
        EXPECT_NE(entry.path().extension(), ".tmp") << "left behind: " << entry.path();
    }
}

TEST(HostStoreTest, AValueSharingItsPartsTooOftenIsRefusedByTheStoreAndByTheLiveView) {
    // The page writes and sends 22 doublings of one array (4,194,304 leaves
    // as a tree), then a small value each way.
    DocumentCopy document(COUNTER_DOCUMENT, "shared");
    auto run = runHost("--timeout 60 --live-view " + std::string(ECHO_LIVE_VIEW) + " " +
                       testPage("page-test-SharesParts") + " " + document.path().string());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(contains(run.out,
                         "host | Corral: store: the value for the key \"shared\" is refused: its "
                         "parts are shared so often that, written out, it would take more than "
                         "67108864 bytes; the store keeps what it held"))
        << run.out;
    EXPECT_TRUE(contains(run.out, "host | Corral: send: the message is refused")) << run.out;
    EXPECT_TRUE(contains(run.out, "page | the store does not hold the shared value")) << run.out;
    EXPECT_TRUE(contains(run.out, "page | the live view answered: small")) << run.out;
    EXPECT_TRUE(contains(run.out, "host | ended (returned)")) << run.out;

    auto saved = readStore(document.store());
    ASSERT_TRUE(saved);
    EXPECT_FALSE(saved->objectForKey("shared"));
    auto small = base::cast<base::Number>(saved->objectForKey("small"));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->integerValue(), 1);
}
