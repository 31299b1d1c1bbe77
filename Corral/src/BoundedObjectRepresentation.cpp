#include "BoundedObjectRepresentation.h"

#include <string>

#include "Corral/base/ExpandedSize.h"
#include "CorralLog.h"
#include "PaddockValueObjectRepresentation.h"

std::optional<base::ObjectRef> boundedObjectRepresentation(const PaddockValue& value,
                                                           std::string_view what,
                                                           std::string_view consequence) {
    base::ObjectRef object = objectRepresentation(value);
    if (base::isWithinExpandedSizeLimit(object)) return object;
    diagnosticLogger().write(
        base::LogLevel::error,
        std::string(what) + " is refused: its parts are shared so often that, written out, it " +
            "would take more than " + std::to_string(base::maxExpandedSize) + " bytes; " +
            std::string(consequence));
    return std::nullopt;
}
