#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AssessmentStatusSerializationError.h"
#include "Corral/PaddockNotifications.h"
#include "Corral/PaddockPage.h"
#include "Corral/base/Log.h"
#include "Corral/base/Objects.h"
#include "PaddockPageAccess.h"
#include "PaddockValueObjectRepresentation.h"
#include "TestSupport.h"

using Status = PaddockPage::AssessmentStatus;

namespace {

std::string describe(const std::optional<Status>& status) {
    if (!status) return "none";
    if (const auto* pass = status->asPass()) return "pass(" + pass->message.value_or("-") + ")";
    std::string text = "fail([";
    for (const auto& hint : status->asFail()->hints) text += hint + ";";
    return text + "], " + status->asFail()->solution.value_or("-") + ")";
}

// Each test starts from a page without a status.
class AssessmentStatusTest : public ::testing::Test {
protected:
    void SetUp() override { PaddockPageAccess::storeAssessmentStatus(page, std::nullopt); }
    void TearDown() override { PaddockPageAccess::storeAssessmentStatus(page, std::nullopt); }

    PaddockPage& page = PaddockPage::current();
};

PaddockValue dictionary(std::initializer_list<std::pair<const std::string, PaddockValue>> entries) {
    return PaddockValue::dictionary(PaddockValue::Dictionary(entries));
}
PaddockValue str(const char* text) { return PaddockValue::string(text); }

}  // namespace

TEST_F(AssessmentStatusTest, EveryAssignmentPostsTheFlatFormFromThePage) {
    using base::Dictionary;
    auto yes = base::Number::initWithBool(true), no = base::Number::initWithBool(false);
    auto text = [](const char* t) { return base::String::make(t); };
    const std::pair<std::optional<Status>, base::Ref<Dictionary>> assignments[] = {
        {Status::pass(),
         Dictionary::withStringKeys({{PaddockNotifications::Key::assessmentPassed, yes}})},
        {Status::pass("Well done"),
         Dictionary::withStringKeys(
             {{PaddockNotifications::Key::assessmentPassed, yes},
              {PaddockNotifications::Key::assessmentPassedMessage, text("Well done")}})},
        {Status::fail(),
         Dictionary::withStringKeys(
             {{PaddockNotifications::Key::assessmentPassed, no},
              {PaddockNotifications::Key::assessmentFailedHints, base::Array::make()}})},
        {Status::fail({"look left", "look right"}, "cross"),
         Dictionary::withStringKeys(
             {{PaddockNotifications::Key::assessmentPassed, no},
              {PaddockNotifications::Key::assessmentFailedHints,
               base::Array::make({text("look left"), text("look right")})},
              {PaddockNotifications::Key::assessmentFailedSolution, text("cross")}})},
        {std::nullopt, Dictionary::withStringKeys(
                           {{PaddockNotifications::Key::assessmentPassed, base::Null::null()}})},
        {std::nullopt, Dictionary::withStringKeys(
                           {{PaddockNotifications::Key::assessmentPassed, base::Null::null()}})},
    };
    NotificationRecorder recorder(PaddockNotifications::assessmentStatusDidChange);
    for (const auto& [status, expected] : assignments) {
        page.setAssessmentStatus(status);
        EXPECT_EQ(describe(page.assessmentStatus()), describe(status));
    }
    ASSERT_EQ(recorder.notifications.size(), std::size(assignments));
    for (std::size_t i = 0; i < std::size(assignments); ++i) {
        const auto& n = recorder.notifications[i];
        EXPECT_EQ(n.object.get(), &page);
        ASSERT_TRUE(n.userInfo);
        EXPECT_TRUE(n.userInfo->isEqual(*assignments[i].second))
            << i << ": " << n.userInfo->description();
        auto passed = base::cast<base::Number>(
            n.userInfo->objectForKey(PaddockNotifications::Key::assessmentPassed));
        if (passed) {
            EXPECT_EQ(passed->typeCode(), "c") << i;
        }
    }
    // The same status twice: two posts, equal but separate user info.
    EXPECT_NE(recorder.notifications[4].userInfo, recorder.notifications[5].userInfo);
}

TEST_F(AssessmentStatusTest, InPlaceModificationPostsOnceAfterTheChange) {
    page.setAssessmentStatus(Status::fail({"first"}));
    NotificationRecorder recorder(PaddockNotifications::assessmentStatusDidChange);
    std::string seenByObserver;
    base::ScopedObserver observer(
        PaddockNotifications::assessmentStatusDidChange, &page,
        [&](const base::Notification&) { seenByObserver = describe(page.assessmentStatus()); });
    page.modifyAssessmentStatus([&](std::optional<Status>& status) {
        status->asFail()->hints.push_back("second");
        status->asFail()->solution = "answer";
        EXPECT_TRUE(recorder.notifications.empty());
    });
    ASSERT_EQ(recorder.notifications.size(), 1u);
    EXPECT_EQ(seenByObserver, "fail([first;second;], answer)");
    auto hints = base::cast<base::Array>(recorder.notifications[0].userInfo->objectForKey(
        PaddockNotifications::Key::assessmentFailedHints));
    ASSERT_TRUE(hints);
    EXPECT_EQ(hints->count(), 2u);

    page.modifyAssessmentStatus([](std::optional<Status>& status) { status.reset(); });
    EXPECT_EQ(recorder.notifications.size(), 2u);
    EXPECT_FALSE(page.assessmentStatus());
}

TEST(AssessmentStatusDecodingTest, ChecksRunInOrderAndTheFirstFailureIsReported) {
    auto fail = str("Fail"), pass = str("Pass"), one = PaddockValue::integer(1);
    const std::pair<PaddockValue, std::string> examples[] = {
        {PaddockValue::array({pass}), "rootNotADictionary"},
        {pass, "rootNotADictionary"},
        {dictionary({{"Message", str("m")}}), "missingStatus"},
        {dictionary({{"status", pass}}), "missingStatus"},
        {dictionary({{"Status", one}}), "missingStatus"},
        {dictionary({{"Status", str("pass")}}), "invalidStatus(\"pass\")"},
        {dictionary({{"Status", str("Passed")}, {"Message", one}}), "invalidStatus(\"Passed\")"},
        {dictionary({{"Status", pass}}), "pass(-)"},
        {dictionary({{"Status", pass}, {"Message", str("yes")}}), "pass(yes)"},
        {dictionary({{"Status", pass}, {"Hints", one}, {"Solution", one}}), "pass(-)"},
        {dictionary({{"Status", pass}, {"Message", PaddockValue::array({})}}), "messageNotAString"},
        {dictionary({{"Status", fail}}), "fail([], -)"},
        {dictionary({{"Status", fail}, {"Message", one}}), "fail([], -)"},
        {dictionary({{"Status", fail},
                     {"Hints", PaddockValue::array({str("a"), str("b")})},
                     {"Solution", str("s")},
                     {"Other", PaddockValue::data({})}}),
         "fail([a;b;], s)"},
        {dictionary({{"Status", fail}, {"Hints", str("a")}}), "hintsNotAnArray"},
        {dictionary({{"Status", fail},
                     {"Hints", PaddockValue::array({str("a"), one})},
                     {"Solution", one}}),
         "hintNotAString"},  // reported before the bad solution
        {dictionary(
             {{"Status", fail}, {"Hints", PaddockValue::array({str("a")})}, {"Solution", one}}),
         "solutionNotAString"},
    };
    for (const auto& [pushed, expected] : examples) {
        std::string outcome;
        try {
            outcome = describe(PaddockPageAccess::decodeAssessmentStatus(pushed));
        } catch (const PaddockPageAccess::SerializationError& error) {
            outcome = error.caseDescription();
        }
        EXPECT_EQ(outcome, expected);
    }
}

TEST_F(AssessmentStatusTest, HostPushesAreStoredSilently) {
    auto pushed = [](const PaddockValue& value) { return objectRepresentation(value); };
    std::vector<std::string> diagnostics;
    auto token = base::Log::addObserver([&](const base::LogEntry& entry) {
        if (entry.category == "Diagnostics") diagnostics.push_back(entry.message);
    });
    NotificationRecorder recorder(PaddockNotifications::assessmentStatusDidChange);

    bridge().send("setAssessmentStatus:",
                  {pushed(dictionary(
                      {{"Status", str("Fail")}, {"Hints", PaddockValue::array({str("h")})}}))});
    EXPECT_EQ(describe(page.assessmentStatus()), "fail([h;], -)");

    // Converts but does not decode: the previous status stays, one log entry says why.
    bridge().send("setAssessmentStatus:", {pushed(dictionary({{"Status", str("Maybe")}}))});
    EXPECT_EQ(describe(page.assessmentStatus()), "fail([h;], -)");
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_NE(diagnostics[0].find("invalidStatus(\"Maybe\")"), std::string::npos) << diagnostics[0];
    bridge().send(
        "setAssessmentStatus:",
        {pushed(dictionary({{"Status", str("Pass")}, {"Message", PaddockValue::integer(1)}}))});
    EXPECT_EQ(describe(page.assessmentStatus()), "fail([h;], -)");
    EXPECT_EQ(diagnostics.size(), 2u);

    bridge().send("setAssessmentStatus:", {pushed(dictionary({{"Status", str("Pass")}}))});
    EXPECT_EQ(describe(page.assessmentStatus()), "pass(-)");

    EXPECT_TRUE(recorder.notifications.empty());

    // Absent, or outside the object representation: cleared.
    const base::ObjectRef clearing[] = {
        nullptr,
        base::Null::null(),
        base::Value::withRect({}),
        base::Dictionary::withStringKeys(
            {{"Status", base::String::make("Pass")}, {"Message", base::Null::null()}}),
    };
    for (const auto& object : clearing) {
        page.setAssessmentStatus(Status::pass("set by the page"));
        recorder.notifications.clear();
        bridge().send("setAssessmentStatus:", {object});
        EXPECT_FALSE(page.assessmentStatus()) << (object ? object->description() : "nil");
        EXPECT_TRUE(recorder.notifications.empty());
    }
    base::Log::removeObserver(token);
    EXPECT_EQ(diagnostics.size(), 2u);
}
