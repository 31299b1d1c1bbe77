// The studio server end to end over HTTP, with a scripted page process in
// place of corral-host so that each behaviour of a run can be provoked.
#include <gtest/gtest.h>
#include <httplib.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "Corral/Studio/StudioServer.h"
#include "Corral/testing/ScratchFolder.h"

namespace studio {

namespace fs = std::filesystem;
using nlohmann::json;

class StudioServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = testing_support::freshScratchFolder("studio-server");
        fs::create_directories(root / "Doc.paddock");
        fs::create_directories(root / "assets");
        std::ofstream(root / "assets" / "index.html") << "<title>studio</title>";
        writePage("SAY hello from the page\nWARN careful\nPASS Well done\n");
        StudioOptions options;
        options.document = (root / "Doc.paddock").string();
        options.pageCommand = {"python3", STAND_IN};
        options.assetsFolder = (root / "assets").string();
        server = std::make_unique<StudioServer>(options);
        std::string error;
        ASSERT_TRUE(server->bind(error)) << error;
        serving = std::thread([this] { server->serve(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
        client->set_default_headers({{"X-Corral-Token", server->token()}});
        client->set_read_timeout(20, 0);
    }
    void TearDown() override {
        server->stop();
        serving.join();
        server.reset();
        fs::remove_all(root);
    }
    void writePage(const std::string& text) {
        std::ofstream(root / "Doc.paddock" / "Page.cpp") << text;
    }

    httplib::Result post(const std::string& path, const json& body) {
        return client->Post(path.c_str(), body.dump(), "application/json");
    }

    // Events from the stream, after event number `after`, until one of kind `until`.
    // With `run`, only the events from that run's request on count.
    std::vector<json> eventsUntil(const std::string& until, std::uint64_t after = 0, int run = 0) {
        std::vector<json> events;
        std::string buffer;
        httplib::Client stream("127.0.0.1", server->port());
        stream.set_read_timeout(20, 0);
        stream.Get(("/api/events?after=" + std::to_string(after)).c_str(),
                   {{"X-Corral-Token", server->token()}},
                   [&](const char* data, std::size_t length) {
                       buffer.append(data, length);
                       std::size_t end;
                       while ((end = buffer.find("\n\n")) != std::string::npos) {
                           const std::string block = buffer.substr(0, end);
                           buffer.erase(0, end + 2);
                           const auto at = block.find("data: ");
                           if (at == std::string::npos) continue;
                           auto event = json::parse(block.substr(at + 6));
                           if (run && events.empty() &&
                               !(event["event"] == "runRequested" && event["run"] == run))
                               continue;
                           events.push_back(std::move(event));
                           if (events.back()["event"] == until) return false;
                       }
                       return true;
                   });
        return events;
    }

    static std::vector<json> ofKind(const std::vector<json>& events, const std::string& kind) {
        std::vector<json> found;
        for (const auto& e : events)
            if (e["event"] == kind) found.push_back(e);
        return found;
    }

    fs::path root;
    std::unique_ptr<StudioServer> server;
    std::thread serving;
    std::unique_ptr<httplib::Client> client;
};

TEST_F(StudioServerTest, RefusesRequestsWithoutTheTokenOrFromAnotherSite) {
    httplib::Client anonymous("127.0.0.1", server->port());
    EXPECT_EQ(anonymous.Get("/")->status, 403);
    EXPECT_EQ(anonymous.Get("/api/document")->status, 403);
    EXPECT_EQ(anonymous.Get("/?token=wrong")->status, 403);

    auto page = anonymous.Get(("/?token=" + server->token()).c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("studio"), std::string::npos);
    EXPECT_NE(page->get_header_value("Set-Cookie").find("corral_token=" + server->token()),
              std::string::npos);
    // The cookie alone lets the page's own requests in.
    EXPECT_EQ(
        anonymous.Get("/api/document", {{"Cookie", "corral_token=" + server->token()}})->status,
        200);

    EXPECT_EQ(
        client
            ->Get("/api/document", {{"Host", "attacker.example:" + std::to_string(server->port())}})
            ->status,
        403);
    EXPECT_EQ(
        client->Post("/api/run", {{"Origin", "http://attacker.example"}}, "{}", "application/json")
            ->status,
        403);
    // Nothing was started by the refused run.
    EXPECT_EQ(json::parse(client->Get("/api/document")->body)["lastEvent"], 0);
}

TEST_F(StudioServerTest, ARunStreamsItsConsoleAndStatusAndTheDocumentCanBeEdited) {
    auto document = json::parse(client->Get("/api/document")->body);
    ASSERT_EQ(document["files"].size(), 1u);
    EXPECT_EQ(document["files"][0]["name"], "Page.cpp");

    auto saved =
        post("/api/save",
             {{"module", ""}, {"name", "Page.cpp"}, {"text", "SAY edited text\nPASS Right\n"}});
    ASSERT_EQ(saved->status, 200) << saved->body;
    EXPECT_EQ(post("/api/save", {{"module", ".."}, {"name", "x.cpp"}, {"text", "x"}})->status, 400);
    EXPECT_EQ(post("/api/save", {{"name", "Page.cpp"}})->status, 400);

    ASSERT_EQ(post("/api/run", {{"mode", "step"}})->status, 200);
    const auto events = eventsUntil("ended");
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front()["event"], "runRequested");
    EXPECT_EQ(events.front()["mode"], "step");
    const auto console = ofKind(events, "console");
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0]["text"], "edited text");
    EXPECT_EQ(ofKind(events, "assessmentStatus").at(0)["status"]["pass"], "Right");
    EXPECT_EQ(ofKind(events, "executionMode").at(0)["mode"], "step");
    EXPECT_EQ(events.back()["cause"], "returned");

    EXPECT_EQ(post("/api/run", {{"mode", "sideways"}})->status, 400);
}

TEST_F(StudioServerTest, ChangedSourcesOnDiskRunThePageAgainInItsMode) {
    // Nothing has run yet: a change alone starts nothing.
    writePage("SAY not run\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(json::parse(client->Get("/api/document")->body)["lastEvent"], 0);

    ASSERT_EQ(post("/api/run", {{"mode", "step"}})->status, 200);
    eventsUntil("runFinished", 0, 1);
    const std::uint64_t seen = json::parse(client->Get("/api/document")->body)["lastEvent"];
    writePage("SAY changed on disk\n");
    auto second = eventsUntil("runFinished", seen, 2);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front()["mode"], "step");
    bool sawLine = false;
    for (const auto& event : second)
        sawLine = sawLine || (event["event"] == "console" && event["text"] == "changed on disk");
    EXPECT_TRUE(sawLine);
    // Unchanged sources after that run: no further run.
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(json::parse(post("/api/run", {{"mode", "run"}})->body)["run"], 3);
}

TEST_F(StudioServerTest, APageThatLoopsIsStoppedAndTheServerGoesOn) {
    writePage("SAY before the loop\nLOOP\n");
    ASSERT_EQ(post("/api/run", {{"mode", "run"}})->status, 200);
    auto events = eventsUntil("running");
    // Commands reach the running page; others are refused.
    EXPECT_EQ(post("/api/command",
                   {{"command", "setStoreValue"}, {"key", "k"}, {"value", {{"integer", 3}}}})
                  ->status,
              200);
    EXPECT_EQ(post("/api/command", {{"command", "format the disk"}})->status, 400);
    ASSERT_EQ(post("/api/stop", json::object())->status, 200);
    events = eventsUntil("runFinished", events.size());
    EXPECT_EQ(ofKind(events, "echo").at(0)["command"]["key"], "k");
    EXPECT_EQ(ofKind(events, "ended").at(0)["cause"], "stopped");
    EXPECT_FALSE(json::parse(client->Get("/api/document")->body)["running"]);
}

TEST_F(StudioServerTest, ACrashWithoutAnEndIsReportedAsOne) {
    writePage("SAY last words\nCRASH\n");
    ASSERT_EQ(post("/api/run", json::object())->status, 200);
    const auto events = eventsUntil("runFinished");
    const auto ended = ofKind(events, "ended");
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0]["cause"], "signal");
    EXPECT_EQ(ended[0]["signal"], 11);
    EXPECT_EQ(ofKind(events, "console").at(0)["text"], "last words");
}

TEST_F(StudioServerTest, ANewRunEndsAFloodingOneAndTheServerStaysResponsive) {
    writePage("FLOOD\n");
    ASSERT_EQ(post("/api/run", json::object())->status, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(client->Get("/api/document")->status, 200);
    writePage("SAY calm again\n");
    auto second = post("/api/run", json::object());
    ASSERT_EQ(second->status, 200);
    const int run = json::parse(second->body)["run"];
    const auto last =
        json::parse(client->Get("/api/document")->body)["lastEvent"].get<std::uint64_t>();
    const auto events = eventsUntil("ended", last > 200 ? last - 200 : 0, run);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back()["cause"], "returned");
    EXPECT_EQ(ofKind(events, "console").back()["text"], "calm again");
}

}  // namespace studio
