#pragma once
// The unified log: handles made with a subsystem and a category write
// entries to the system log with both tags. Observers (tests, hosts) can
// watch every entry written in the process. Setting the environment variable
// CORRAL_LOG_STDERR=1 copies entries to standard error as well.

#include <cstdint>
#include <functional>
#include <string>

#include "Corral/base/BaseExport.h"

namespace base {

enum class LogLevel { debug, info, defaultLevel, error, fault };

struct LogEntry {
    std::string subsystem;
    std::string category;
    LogLevel level;
    std::string message;
};

class BASE_EXPORT Log {
public:
    using Observer = std::function<void(const LogEntry&)>;
    using Token = std::uint64_t;

    Log(std::string subsystem, std::string category);

    const std::string& subsystem() const noexcept { return subsystem_; }
    const std::string& category() const noexcept { return category_; }

    void write(LogLevel level, const std::string& message) const;
    // An entry at the default level.
    void log(const std::string& message) const { write(LogLevel::defaultLevel, message); }

    // Observers run synchronously on the writing thread, after the entry has
    // gone to the system log.
    static Token addObserver(Observer observer);
    static void removeObserver(Token token);

private:
    std::string subsystem_;
    std::string category_;
};

}  // namespace base
