// The page's assessment status: the property page code sets (announced to
// the host) and the decoding of the dictionary form a host pushes in.
#include "AssessmentStatusSerializationError.h"
#include "Corral/PaddockNotifications.h"
#include "Corral/base/Objects.h"

namespace {

using Status = PaddockPage::AssessmentStatus;

const base::NotificationName& paddockPageAssessmentStatusDidChange() {
    static const base::NotificationName name = PaddockNotifications::assessmentStatusDidChange;
    return name;
}

base::Ref<base::Dictionary> userInfo(const std::optional<Status>& status) {
    base::Dictionary::Builder info;
    if (!status) {
        info.set(PaddockNotifications::Key::assessmentPassed, base::Null::null());
    } else if (const auto* pass = status->asPass()) {
        if (pass->message)
            info.set(PaddockNotifications::Key::assessmentPassedMessage,
                     base::String::make(*pass->message));
        info.set(PaddockNotifications::Key::assessmentPassed, base::Number::initWithBool(true));
    } else {
        const auto* fail = status->asFail();
        std::vector<base::ObjectRef> hints;
        hints.reserve(fail->hints.size());
        for (const auto& hint : fail->hints) hints.push_back(base::String::make(hint));
        info.set(PaddockNotifications::Key::assessmentFailedHints,
                 base::Array::make(std::move(hints)));
        if (fail->solution) {
            info.set(PaddockNotifications::Key::assessmentFailedSolution,
                     base::String::make(*fail->solution));
        }
        info.set(PaddockNotifications::Key::assessmentPassed, base::Number::initWithBool(false));
    }
    return info.build();
}

}  // namespace

void PaddockPage::setAssessmentStatus(std::optional<AssessmentStatus> status) {
    assessmentStatus_ = std::move(status);
    base::NotificationCenter::defaultCenter().post(paddockPageAssessmentStatusDidChange(), self(),
                                                   userInfo(assessmentStatus_));
}

void PaddockPage::modifyAssessmentStatus(
    const std::function<void(std::optional<AssessmentStatus>&)>& change) {
    std::optional<AssessmentStatus> status = assessmentStatus_;
    change(status);
    setAssessmentStatus(std::move(status));
}

PaddockPage::AssessmentStatus::AssessmentStatus(const PaddockValue& paddockValue) {
    using Error = SerializationError;
    const PaddockValue::Dictionary* root = paddockValue.asDictionary();
    if (!root) throw Error(Error::Case::rootNotADictionary);
    // The string under `key`: nothing when the key is absent, `error` when
    // the value is not a string.
    auto optionalString = [root](std::string_view key, Error::Case error) {
        std::optional<std::string> result;
        if (auto entry = root->find(key); entry != root->end()) {
            if (!entry->second.asString()) throw Error(error);
            result = *entry->second.asString();
        }
        return result;
    };

    auto statusEntry = root->find("Status");
    if (statusEntry == root->end() || !statusEntry->second.asString()) {
        throw Error(Error::Case::missingStatus);
    }
    const std::string& status = *statusEntry->second.asString();
    if (status == "Pass") {
        case_ = Pass{optionalString("Message", Error::Case::messageNotAString)};
    } else if (status == "Fail") {
        std::vector<std::string> hints;
        if (auto entry = root->find("Hints"); entry != root->end()) {
            const PaddockValue::Array* elements = entry->second.asArray();
            if (!elements) throw Error(Error::Case::hintsNotAnArray);
            for (const auto& element : *elements) {
                if (!element.asString()) throw Error(Error::Case::hintNotAString);
                hints.push_back(*element.asString());
            }
        }
        auto solution = optionalString("Solution", Error::Case::solutionNotAString);
        case_ = Fail{std::move(hints), std::move(solution)};
    } else {
        throw Error(Error::Case::invalidStatus, status);
    }
}

std::string PaddockPage::AssessmentStatus::SerializationError::caseDescription() const {
    switch (errorCase) {
        case Case::invalidStatus:
            return "invalidStatus(\"" + status + "\")";
        case Case::rootNotADictionary:
            return "rootNotADictionary";
        case Case::missingStatus:
            return "missingStatus";
        case Case::messageNotAString:
            return "messageNotAString";
        case Case::hintsNotAnArray:
            return "hintsNotAnArray";
        case Case::hintNotAString:
            return "hintNotAString";
        case Case::solutionNotAString:
            return "solutionNotAString";
    }
    return "unknown";
}
