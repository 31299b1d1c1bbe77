#include "CorralLog.h"

#include <cstdlib>
#include <string>

namespace {
std::string hostIdentifier() {
    const char* id = std::getenv("CORRAL_HOST_IDENTIFIER");
    return id && *id ? id : "local.corral.host";
}
}  // namespace

const base::Log& printLogger() {
    static const base::Log* const logger =
        new base::Log(hostIdentifier(), "ExecutionExtension.print");
    return *logger;
}

const base::Log& diagnosticLogger() {
    static const base::Log* const logger = new base::Log(hostIdentifier(), "Diagnostics");
    return *logger;
}
