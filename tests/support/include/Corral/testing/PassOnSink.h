#pragma once
// A sink that passes every value on to another, and passes on repeated()
// only when identity is on, so that one reading can be made with and
// without values taken by identity. It counts the repeated() calls it got
// and those the other sink took.

#include "Corral/plist/PropertyListStream.h"

namespace testing_support {

class PassOnSink final : public base::PropertyListSink {
public:
    PassOnSink(base::PropertyListSink& to, bool identity) : to_(to), identity_(identity) {}

    void beginDictionary() override { to_.beginDictionary(); }
    void key(std::string_view text) override { to_.key(text); }
    void beginArray() override { to_.beginArray(); }
    void endContainer() override { to_.endContainer(); }
    void string(std::string_view text) override { to_.string(text); }
    void boolean(bool value) override { to_.boolean(value); }
    void integer(std::int64_t value) override { to_.integer(value); }
    void unsignedInteger(std::uint64_t value) override { to_.unsignedInteger(value); }
    void real(double value) override { to_.real(value); }
    void date(double seconds) override { to_.date(seconds); }
    void data(std::span<const std::uint8_t> bytes) override { to_.data(bytes); }
    bool repeated(const StoredObject& object) override {
        ++repeats;
        bool took = identity_ && to_.repeated(object);
        taken += took;
        return took;
    }

    int repeats = 0;
    int taken = 0;

private:
    base::PropertyListSink& to_;
    bool identity_;
};

}  // namespace testing_support
