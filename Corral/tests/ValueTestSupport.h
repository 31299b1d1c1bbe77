#pragma once
// Helpers for tests of PaddockValue: structural comparison and deep values.
// Both walk the nesting with a work list, so they handle any depth.

#include <pthread.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "Corral/PaddockValue.h"

// The payload of a value that is not a container, as bytes (the bit pattern
// for numbers and dates); empty for arrays and dictionaries.
inline std::string leafBytes(const PaddockValue& value) {
    return value.visit([](const auto& payload) -> std::string {
        using Payload = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<Payload, std::string>) {
            return payload;
        } else if constexpr (std::is_same_v<Payload, PaddockValue::Data>) {
            return std::string(payload.begin(), payload.end());
        } else if constexpr (std::is_trivially_copyable_v<Payload>) {
            return std::string(reinterpret_cast<const char*>(&payload), sizeof payload);
        } else {
            return {};
        }
    });
}

// True when both values have the same case and payload at every depth.
// Doubles (dates included) compare by bit pattern, so NaN equals NaN and
// 0.0 differs from -0.0: a round trip must not lose either.
inline bool sameValue(const PaddockValue& first, const PaddockValue& second) {
    std::vector<std::pair<const PaddockValue*, const PaddockValue*>> work{{&first, &second}};
    while (!work.empty()) {
        auto [a, b] = work.back();
        work.pop_back();
        if (a->tag() != b->tag() || leafBytes(*a) != leafBytes(*b)) return false;
        if (const auto* x = a->asArray()) {
            const auto& y = *b->asArray();
            if (x->size() != y.size()) return false;
            for (std::size_t i = 0; i < x->size(); ++i) work.emplace_back(&(*x)[i], &y[i]);
        } else if (const auto* x = a->asDictionary()) {
            const auto& y = *b->asDictionary();
            if (x->size() != y.size()) return false;
            for (const auto& [key, value] : *x) {
                auto other = y.find(key);
                if (other == y.end()) return false;
                work.emplace_back(&value, &other->second);
            }
        }
    }
    return true;
}

// The value doubledArray() of Corral/testing/SharedGraphs.h represents: an
// array holding the string "leaf", then `levels` arrays each holding the one
// below twice, every level sharing the one below.
inline PaddockValue doubledValue(int levels) {
    PaddockValue value = PaddockValue::array({PaddockValue::string("leaf")});
    for (int level = 0; level < levels; ++level) value = PaddockValue::array({value, value});
    return value;
}

// `depth` levels of containers, alternating arrays (odd levels, counting
// the outermost as 1) and dictionaries with the key "next", around `leaf`.
inline PaddockValue nestedValue(std::size_t depth, PaddockValue leaf) {
    PaddockValue value = std::move(leaf);
    for (std::size_t level = depth; level > 0; --level) {
        if (level % 2) {
            value = PaddockValue::array({std::move(value)});
        } else {
            PaddockValue::Dictionary entries;
            entries.emplace("next", std::move(value));
            value = PaddockValue::dictionary(std::move(entries));
        }
    }
    return value;
}

// The innermost value of a nestedValue() chain; for a non-const value,
// every level on the way is unshared so the result can be written.
template <class Value>
Value& innermost(Value& value) {
    Value* current = &value;
    for (;;) {
        if constexpr (std::is_const_v<Value>) {
            if (const auto* array = current->asArray()) {
                current = &array->front();
                continue;
            }
            if (const auto* dictionary = current->asDictionary()) {
                current = &dictionary->at("next");
                continue;
            }
        } else {
            if (auto* array = current->asMutableArray()) {
                current = &array->front();
                continue;
            }
            if (auto* dictionary = current->asMutableDictionary()) {
                current = &dictionary->at("next");
                continue;
            }
        }
        return *current;
    }
}

// Every case once, each container holding further cases.
inline PaddockValue everyCase() {
    PaddockValue::Dictionary entries;
    entries.emplace("", PaddockValue::string(""));
    entries.emplace("text", PaddockValue::string("grüße, 世界"));
    entries.emplace("bytes", PaddockValue::data({0x00, 0xff, 0x7f}));
    entries.emplace("empty array", PaddockValue::array({}));
    entries.emplace("empty dictionary", PaddockValue::dictionary({}));
    return PaddockValue::array({
        PaddockValue::dictionary(std::move(entries)),
        PaddockValue::string("x"),
        PaddockValue::data({}),
        PaddockValue::date({-978307200.5}),
        PaddockValue::integer(INT64_MIN),
        PaddockValue::integer(INT64_MAX),
        PaddockValue::floatingPoint(-0.0),
        PaddockValue::boolean(true),
        PaddockValue::boolean(false),
    });
}

// Runs `body` on a thread with a 1 MiB stack and waits for it. Code that
// recursed once per level of a 100,000-level value would overflow it, so a
// deep-value test run this way fails however small the frames are.
inline void runOnSmallStack(std::function<void()> body) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, std::size_t{1} << 20);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<std::function<void()>*>(argument))();
        return nullptr;
    };
    int error = pthread_create(&thread, &attributes, run, &body);
    pthread_attr_destroy(&attributes);
    if (error) throw std::runtime_error("cannot start a thread");
    pthread_join(thread, nullptr);
}
