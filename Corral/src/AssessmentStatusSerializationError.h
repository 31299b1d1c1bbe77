#pragma once
// The error that decoding a pushed assessment status throws. The host
// pushes a dictionary {"Status": "Pass" | "Fail", "Message": string,
// "Hints": [string], "Solution": string}; each case names the first check
// that failed.

#include <exception>
#include <string>

#include "Corral/PaddockPage.h"

struct PaddockPage::AssessmentStatus::SerializationError : std::exception {
    enum class Case {
        invalidStatus,  // "Status" is a string other than "Pass" and "Fail"
        rootNotADictionary,
        missingStatus,  // "Status" is absent or not a string
        messageNotAString,
        hintsNotAnArray,
        hintNotAString,
        solutionNotAString,
    };

    explicit SerializationError(Case errorCase, std::string status = {})
        : errorCase(errorCase), status(std::move(status)) {}

    // The case's name, with the status string for invalidStatus, for diagnostics.
    std::string caseDescription() const;

    Case errorCase;
    std::string status;  // the status string as received, for invalidStatus
};
