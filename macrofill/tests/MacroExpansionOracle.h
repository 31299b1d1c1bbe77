#pragma once
// A direct transcription of the expansion algorithm: the string as UTF-16
// code units, replaced in place, the scan position left at the start of each
// value put in. Quadratic, and it would run for ever on definitions that
// refer to themselves, so it gives up after a number of steps; the tests
// compare the fast expander with it.

#include <cstddef>
#include <optional>
#include <string>

#include "Corral/base/Dictionary.h"

namespace oracle {

enum class Status {
    expanded,    // `text` holds the result
    notAString,  // a reference looked up `name`, whose value is of class `className`
    gaveUp,      // more steps, nesting or length than the limits allow
};

struct Result {
    Status status = Status::expanded;
    std::string text, name, className;
};

struct Limits {
    std::size_t steps = 200000;
    std::size_t nesting = 200;
    std::size_t length = 100000;
};

Result expandString(const std::string& text, const base::Dictionary& table, Limits limits = {});

}  // namespace oracle

namespace oracle {

// Expands `text` with the fast expander and with the oracle; "" when they
// agree, else what differs. They agree when both give the same text, both
// fail on the same definition that is not a string, or the oracle gives up
// where the fast expander reports a cycle or an oversized result. With
// `allowance` (the fast expander's size allowance), a fast result where the
// oracle gave up is not checked: the limits may have been too tight for it.
std::string disagreement(const std::string& text, const base::Dictionary& table, Limits limits = {},
                         std::optional<std::size_t> allowance = std::nullopt);

}  // namespace oracle
