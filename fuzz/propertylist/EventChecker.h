#pragma once
// A sink that checks what a reader reports: containers balanced, a key
// before each dictionary value and only there, exactly one root value. A
// violation aborts, which the fuzzer reports.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Corral/plist/PropertyListStream.h"

class EventChecker final : public base::PropertyListSink {
public:
    void beginDictionary() override { open(true); }
    void beginArray() override { open(false); }
    void endContainer() override {
        check(!open_.empty() && !(open_.back().dictionary && open_.back().expectValue),
              "unbalanced end");
        open_.pop_back();
    }
    void key(std::string_view) override {
        check(!open_.empty() && open_.back().dictionary && !open_.back().expectValue,
              "misplaced key");
        open_.back().expectValue = true;
    }
    void string(std::string_view) override { value(); }
    void boolean(bool) override { value(); }
    void integer(std::int64_t) override { value(); }
    void unsignedInteger(std::uint64_t value) override {
        check(value > static_cast<std::uint64_t>(INT64_MAX), "small unsigned integer");
        this->value();
    }
    void real(double) override { value(); }
    void date(double) override { value(); }
    void data(std::span<const std::uint8_t>) override { value(); }

    // After a successful read: exactly one complete root.
    void finished() const { check(open_.empty() && roots_ == 1, "incomplete document"); }

private:
    struct Level {
        bool dictionary;
        bool expectValue = false;
    };

    static void check(bool condition, const char* what) {
        if (!condition) {
            std::fprintf(stderr, "reader broke its contract: %s\n", what);
            std::abort();
        }
    }

    void value() {
        if (open_.empty()) {
            ++roots_;
            check(roots_ == 1, "second root");
        } else if (open_.back().dictionary) {
            check(open_.back().expectValue, "value without key");
            open_.back().expectValue = false;
        }
    }

    void open(bool dictionary) {
        value();
        open_.push_back({dictionary});
    }

    std::vector<Level> open_;
    int roots_ = 0;
};
