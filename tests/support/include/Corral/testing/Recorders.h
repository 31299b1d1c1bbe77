#pragma once
// Records what the process-wide notification centre and the unified log
// carry while the recorder exists.

#include <optional>
#include <string>
#include <vector>

#include "Corral/base/Log.h"
#include "Corral/base/NotificationCenter.h"

namespace testing_support {

// Every notification posted while it exists (optionally only one name).
class NotificationRecorder {
public:
    explicit NotificationRecorder(std::optional<std::string> name = std::nullopt)
        : observer_(std::move(name), nullptr,
                    [this](const base::Notification& n) { notifications.push_back(n); }) {}

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& n : notifications) result.push_back(n.name);
        return result;
    }

    std::vector<base::Notification> notifications;

private:
    base::ScopedObserver observer_;
};

// Every log entry written while it exists (optionally only one category).
class LogRecorder {
public:
    explicit LogRecorder(std::optional<std::string> category = std::nullopt)
        : token_(base::Log::addObserver([this, category](const base::LogEntry& entry) {
              if (!category || entry.category == *category) entries.push_back(entry);
          })) {}
    ~LogRecorder() { base::Log::removeObserver(token_); }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    // Whether an entry (at `level`, if given) holds `text`.
    bool contains(const std::string& text, std::optional<base::LogLevel> level = {}) const {
        for (const auto& entry : entries) {
            if ((!level || entry.level == *level) && entry.message.find(text) != std::string::npos)
                return true;
        }
        return false;
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> result;
        for (const auto& entry : entries) result.push_back(entry.message);
        return result;
    }

    std::vector<base::LogEntry> entries;

private:
    base::Log::Token token_;
};

}  // namespace testing_support
