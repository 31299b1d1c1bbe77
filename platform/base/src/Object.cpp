#include "Corral/base/Object.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>

#include "Corral/base/Data.h"
#include "Corral/base/Date.h"
#include "Corral/base/DecimalText.h"
#include "Corral/base/Null.h"
#include "Corral/base/ObjectMemory.h"
#include "Corral/base/String.h"
#include "Corral/base/Value.h"

namespace base {

Object::~Object() = default;

std::string Object::className() const { return "Object"; }

bool Object::isEqual(const Object& other) const noexcept { return this == &other; }

std::size_t Object::hash() const noexcept { return std::hash<const void*>{}(this); }

std::string Object::description() const {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, ": %p>", static_cast<const void*>(this));
    return "<" + className() + buffer;
}

bool isEqual(const ObjectRef& a, const ObjectRef& b) noexcept {
    if (!a || !b) return !a && !b;
    return a == b || a->isEqual(*b);
}

// String

Ref<String> String::make(std::string text) { return makeObject<String>(std::move(text)); }

bool String::isEqual(const Object& other) const noexcept {
    return other.kind() == Kind::string && static_cast<const String&>(other).text_ == text_;
}

std::size_t String::hash() const noexcept { return std::hash<std::string_view>{}(text_); }

// Data

Ref<Data> Data::make(std::vector<std::uint8_t> bytes) { return makeObject<Data>(std::move(bytes)); }

Ref<Data> Data::make(std::span<const std::uint8_t> bytes) {
    return makeObject<Data>(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

bool Data::isEqual(const Object& other) const noexcept {
    return other.kind() == Kind::data && static_cast<const Data&>(other).bytes_ == bytes_;
}

std::size_t Data::hash() const noexcept {
    std::string_view view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
    return std::hash<std::string_view>{}(view.substr(0, 80));
}

std::string Data::description() const {
    static const char digits[] = "0123456789abcdef";
    std::string text = "{length = " + std::to_string(bytes_.size()) + ", bytes = 0x";
    for (std::size_t i = 0; i < bytes_.size() && i < 32; ++i) {
        text += digits[bytes_[i] >> 4];
        text += digits[bytes_[i] & 15];
    }
    if (bytes_.size() > 32) text += "...";
    return text + "}";
}

// Date

Ref<Date> Date::withTimeIntervalSinceReferenceDate(double seconds) {
    return makeObject<Date>(seconds);
}

Ref<Date> Date::withTimeIntervalSince1970(double seconds) {
    return makeObject<Date>(seconds - referenceDateSince1970);
}

Ref<Date> Date::now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return withTimeIntervalSince1970(static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9);
}

bool Date::isEqual(const Object& other) const noexcept {
    return other.kind() == Kind::date && static_cast<const Date&>(other).seconds_ == seconds_;
}

std::size_t Date::hash() const noexcept { return std::hash<double>{}(seconds_); }

std::string Date::description() const {
    double since1970 = std::floor(timeIntervalSince1970());
    if (!std::isfinite(since1970) || std::fabs(since1970) > 1e14) {
        // The seconds as "%f" writes them in the "C" locale.
        char buffer[512];
        auto end =
            std::to_chars(buffer, buffer + sizeof buffer, seconds_, std::chars_format::fixed, 6)
                .ptr;
        return std::string(buffer, end);
    }
    std::time_t t = static_cast<std::time_t>(since1970);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return buffer;
}

// Null

Ref<Null> Null::null() {
    static const Ref<Null> instance = std::make_shared<Null>();
    return instance;
}

bool Null::isEqual(const Object& other) const noexcept { return other.kind() == Kind::null; }

// Value

Ref<Value> Value::withRect(Rect rect) { return makeObject<Value>(rect); }

bool Value::isEqual(const Object& other) const noexcept {
    return other.kind() == Kind::value && static_cast<const Value&>(other).rect_ == rect_;
}

std::size_t Value::hash() const noexcept {
    return std::hash<double>{}(rect_.origin.x) ^ (std::hash<double>{}(rect_.size.width) << 1);
}

std::string Value::description() const {
    auto text = [](double v) { return decimalText(v, 6); };  // as "%g" writes it
    return "Rect: {{" + text(rect_.origin.x) + ", " + text(rect_.origin.y) + "}, {" +
           text(rect_.size.width) + ", " + text(rect_.size.height) + "}}";
}

}  // namespace base
