#include "Corral/base/Log.h"

#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace base {

namespace {
struct Observers {
    std::mutex mutex;
    Log::Token next = 1;
    std::vector<std::pair<Log::Token, std::shared_ptr<const Log::Observer>>> list;
};

Observers& observers() {
    static Observers* instance = new Observers();  // lives until exit
    return *instance;
}

int syslogPriority(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return LOG_DEBUG;
        case LogLevel::info:
            return LOG_INFO;
        case LogLevel::defaultLevel:
            return LOG_NOTICE;
        case LogLevel::error:
            return LOG_ERR;
        case LogLevel::fault:
            return LOG_CRIT;
    }
    return LOG_NOTICE;
}

bool copyToStandardError() {
    static const bool enabled = [] {
        const char* value = std::getenv("CORRAL_LOG_STDERR");
        return value && *value && *value != '0';
    }();
    return enabled;
}
}  // namespace

Log::Log(std::string subsystem, std::string category)
    : subsystem_(std::move(subsystem)), category_(std::move(category)) {}

void Log::write(LogLevel level, const std::string& message) const {
    syslog(LOG_USER | syslogPriority(level), "[%s:%s] %s", subsystem_.c_str(), category_.c_str(),
           message.c_str());
    if (copyToStandardError()) {
        std::fprintf(stderr, "[%s:%s] %s\n", subsystem_.c_str(), category_.c_str(),
                     message.c_str());
    }
    std::vector<std::shared_ptr<const Observer>> snapshot;
    {
        auto& o = observers();
        std::lock_guard lock(o.mutex);
        for (const auto& entry : o.list) snapshot.push_back(entry.second);
    }
    if (snapshot.empty()) return;
    LogEntry entry{subsystem_, category_, level, message};
    for (const auto& observer : snapshot) (*observer)(entry);
}

Log::Token Log::addObserver(Observer observer) {
    auto& o = observers();
    std::lock_guard lock(o.mutex);
    o.list.emplace_back(o.next, std::make_shared<const Observer>(std::move(observer)));
    return o.next++;
}

void Log::removeObserver(Token token) {
    auto& o = observers();
    std::lock_guard lock(o.mutex);
    std::erase_if(o.list, [token](const auto& entry) { return entry.first == token; });
}

}  // namespace base
