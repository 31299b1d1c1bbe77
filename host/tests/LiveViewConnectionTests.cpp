// The page's side of a live view in another process, in this process: a
// live view that ends at once while several threads shut the connection
// down and the run loop hears it close; which pictures it may send.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Corral/PaddockPage.h"
#include "Corral/base/Objects.h"
#include "Corral/base/RunLoop.h"
#include "Corral/base/Runtime.h"
#include "LiveViewConnection.h"
#include "LiveViewPictures.h"

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

// A picture from a live view becomes a liveView event only when it is
// whole: anything else the live view sends on that connection is dropped.
TEST(LiveViewPicturesTest, OnlyAWholePictureBecomesAnEvent) {
    using base::Number, base::String;
    auto picture = [](base::ObjectRef svg, base::ObjectRef width, base::ObjectRef fullScreen) {
        return base::Dictionary::withStringKeys({{"svg", std::move(svg)},
                                                 {"width", std::move(width)},
                                                 {"height", Number::initWithDouble(768)},
                                                 {"fullScreen", std::move(fullScreen)}});
    };
    auto event = host::LiveViewPictures::eventFor(
        picture(String::make("<svg/>"), Number::initWithInteger(512), Number::initWithBool(false)));
    EXPECT_EQ(event, (host::Json{{"event", "liveView"},
                                 {"svg", "<svg/>"},
                                 {"width", 512.0},
                                 {"height", 768.0},
                                 {"fullScreen", false}}));

    const base::ObjectRef notPictures[] = {
        String::make("<svg/>"),
        picture(Number::initWithInteger(1), Number::initWithInteger(512),
                Number::initWithBool(true)),
        picture(String::make("<svg/>"), Number::initWithBool(true), Number::initWithBool(true)),
        picture(String::make("<svg/>"), Number::initWithDouble(-1), Number::initWithBool(true)),
        picture(String::make("<svg/>"), Number::initWithDouble(std::nan("")),
                Number::initWithBool(true)),
        picture(String::make("<svg/>"), Number::initWithInteger(512), Number::initWithInteger(1)),
        base::Dictionary::withStringKeys({{"svg", String::make("<svg/>")}}),
    };
    for (const auto& message : notPictures)
        EXPECT_TRUE(host::LiveViewPictures::eventFor(message).is_null()) << message->description();
}
