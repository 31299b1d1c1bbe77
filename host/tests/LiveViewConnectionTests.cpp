// The page's side of a live view in another process, in this process: a
// live view that ends at once while several threads shut the connection
// down and the run loop hears it close.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Corral/PaddockPage.h"
#include "Corral/base/RunLoop.h"
#include "Corral/base/Runtime.h"
#include "LiveViewConnection.h"

namespace {

std::string contentsOf(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    return text;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

}  // namespace

TEST(LiveViewConnectionTest, ShutDownFromManyThreadsWhileTheConnectionClosesReapsOnce) {
    PaddockPage::current();  // Corral is loaded and its bridge registered
    const base::Class* corral = base::Runtime::shared().lookUpClass("_CorralFramework");
    ASSERT_NE(corral, nullptr);
    for (int round = 0; round < 20; ++round) {
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        host::ProtocolWriter transcript(fileno(out));
        {
            host::LiveViewConnection connection(*corral, transcript);
            // A live view that ends at once: the connection closes by itself.
            ASSERT_TRUE(connection.start("true"));
            std::vector<std::thread> closers;
            for (int i = 0; i < 4; ++i) closers.emplace_back([&] { connection.shutDown(); });
            base::RunLoop::main().runUntil([] { return false; }, std::chrono::milliseconds(50));
            for (auto& closer : closers) closer.join();
            connection.shutDown();  // again, on the run loop's thread
            base::RunLoop::main().runUntilIdle();
        }
        std::string text = contentsOf(out);
        std::fclose(out);
        auto at = text.find("as process ");
        ASSERT_NE(at, std::string::npos) << text;
        pid_t child = std::stoi(text.substr(at + 11));
        ASSERT_GT(child, 0);
        // Reaped: the pid is no longer this process's child.
        EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), -1) << text;
        EXPECT_LE(count(text, "the connection closed"), 1u) << text;
    }
}
