#include "ProtocolEvents.h"

#include "Corral/PaddockNotifications.h"
#include "Corral/base/Objects.h"

namespace host {

namespace {

std::string text(const base::ObjectRef& object) {
    auto string = base::cast<base::String>(object);
    return string ? string->text() : std::string();
}

Json optionalText(const base::ObjectRef& object) {
    auto string = base::cast<base::String>(object);
    return string ? Json(string->text()) : Json(nullptr);
}

bool flag(const base::ObjectRef& userInfo, const char* key) {
    auto dictionary = base::cast<base::Dictionary>(userInfo);
    auto number = dictionary ? base::cast<base::Number>(dictionary->objectForKey(key)) : nullptr;
    return number && number->boolValue();
}

Json linkEvent(const base::Dictionary& info) {
    std::string payload = text(info.objectForKey(PaddockNotifications::Key::linkRequestPayload));
    auto startsWith = [&](const char* prefix) { return payload.rfind(prefix, 0) == 0; };
    if (startsWith("glossary://")) {
        Json location = nullptr;
        if (auto at = base::cast<base::Value>(
                info.objectForKey(PaddockNotifications::Key::showGlossaryLocation))) {
            auto r = at->rectValue();
            location = {{"x", r.origin.x},
                        {"y", r.origin.y},
                        {"width", r.size.width},
                        {"height", r.size.height}};
        }
        return {{"event", "glossary"},
                {"name", percentDecoded(payload.substr(std::string("glossary://").size()))},
                {"location", location}};
    }
    if (startsWith("x-paddocks://")) return {{"event", "openDocument"}, {"url", payload}};
    if (startsWith("x-paddocks-launch-app://"))
        return {{"event", "openApplication"}, {"url", payload}};
    return {{"event", "openPage"}, {"reference", payload}};
}

}  // namespace

std::string percentDecoded(const std::string& encoded) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%' && i + 2 < encoded.size() && hex(encoded[i + 1]) >= 0 &&
            hex(encoded[i + 2]) >= 0) {
            out += static_cast<char>(hex(encoded[i + 1]) * 16 + hex(encoded[i + 2]));
            i += 2;
        } else {
            out += encoded[i];
        }
    }
    return out;
}

Json assessmentStatusFromUserInfo(const base::ObjectRef& userInfo) {
    auto info = base::cast<base::Dictionary>(userInfo);
    if (!info) return nullptr;
    auto passed =
        base::cast<base::Number>(info->objectForKey(PaddockNotifications::Key::assessmentPassed));
    if (!passed) return nullptr;
    if (passed->boolValue())
        return {{"pass", optionalText(info->objectForKey(
                             PaddockNotifications::Key::assessmentPassedMessage))}};
    Json hints = Json::array();
    if (auto list = base::cast<base::Array>(
            info->objectForKey(PaddockNotifications::Key::assessmentFailedHints)))
        for (const auto& hint : *list) hints.push_back(text(hint));
    return {{"fail",
             {{"hints", std::move(hints)},
              {"solution", optionalText(info->objectForKey(
                               PaddockNotifications::Key::assessmentFailedSolution))}}}};
}

std::optional<base::ObjectRef> assessmentStatusObject(const Json& status, std::string& error) {
    if (status.is_null()) return base::ObjectRef();
    auto optionalString = [&](const Json& value, const char* what,
                              std::optional<std::string>& out) {
        if (value.is_null()) return true;
        if (!value.is_string()) {
            error = std::string(what) + " must be text or null";
            return false;
        }
        out = value.get<std::string>();
        return true;
    };
    if (status.is_object() && status.size() == 1 && status.contains("pass")) {
        std::optional<std::string> message;
        if (!optionalString(status["pass"], "the pass message", message)) return std::nullopt;
        base::Dictionary::Builder entries;
        entries.set("Status", base::String::make("Pass"));
        if (message) entries.set("Message", base::String::make(*message));
        return base::ObjectRef(entries.build());
    }
    if (status.is_object() && status.size() == 1 && status.contains("fail") &&
        status["fail"].is_object()) {
        const Json& fail = status["fail"];
        std::vector<base::ObjectRef> hints;
        if (fail.contains("hints")) {
            if (!fail["hints"].is_array()) {
                error = "the hints must be a list of texts";
                return std::nullopt;
            }
            for (const auto& hint : fail["hints"]) {
                if (!hint.is_string()) {
                    error = "the hints must be a list of texts";
                    return std::nullopt;
                }
                hints.push_back(base::String::make(hint.get<std::string>()));
            }
        }
        std::optional<std::string> solution;
        if (fail.contains("solution") &&
            !optionalString(fail["solution"], "the solution", solution))
            return std::nullopt;
        base::Dictionary::Builder entries;
        entries.set("Status", base::String::make("Fail"));
        entries.set("Hints", base::Array::make(std::move(hints)));
        if (solution) entries.set("Solution", base::String::make(*solution));
        return base::ObjectRef(entries.build());
    }
    error = "a status is null, {\"pass\":...} or {\"fail\":{\"hints\":[...],\"solution\":...}}";
    return std::nullopt;
}

Json eventForNotification(const base::Notification& n, const std::string& mode) {
    if (n.name == PaddockNotifications::executionModeDidChange)
        return {{"event", "executionMode"}, {"mode", mode}};
    if (n.name == PaddockNotifications::needsIndefiniteExecutionDidChange)
        return {{"event", "needsIndefiniteExecution"},
                {"value", flag(n.userInfo, PaddockNotifications::Key::needsIndefiniteExecution)}};
    if (n.name == PaddockNotifications::wantsFullScreenLiveViewDidChange)
        return {{"event", "wantsFullScreenLiveView"},
                {"value", flag(n.userInfo, PaddockNotifications::Key::wantsFullScreenLiveView)}};
    if (n.name == PaddockNotifications::assessmentStatusDidChange)
        return {{"event", "assessmentStatus"},
                {"status", assessmentStatusFromUserInfo(n.userInfo)}};
    auto info = base::cast<base::Dictionary>(n.userInfo);
    if (n.name == PaddockNotifications::requestsToHandleLink && info) return linkEvent(*info);
    if (n.name == PaddockNotifications::keyValueStoreDidChange && info) {
        auto change = base::cast<base::Dictionary>(
            info->objectForKey(PaddockNotifications::Key::keyValueStoreChange));
        if (!change) return nullptr;
        return {
            {"event", "store"},
            {"key", text(change->objectForKey(PaddockNotifications::Key::changeKey))},
            {"value", taggedValue(change->objectForKey(PaddockNotifications::Key::changeValue))}};
    }
    return nullptr;
}

}  // namespace host
