// Reads arbitrary bytes as a property list; whatever reads is written in both
// formats, read back, and must come back equal (XML keeps whole seconds of
// dates) and write the same bytes again.

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"

namespace {

// Equality as the formats keep it: NaN equals NaN; with `wholeSeconds`,
// dates compare by their whole seconds.
bool same(const base::Object& a, const base::Object& b, bool wholeSeconds) {
    using base::Kind;
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
        case Kind::number: {
            const auto& x = static_cast<const base::Number&>(a);
            const auto& y = static_cast<const base::Number&>(b);
            if (std::isnan(x.doubleValue()) && std::isnan(y.doubleValue()))
                return x.typeCode() == y.typeCode();
            return x.typeCode() == y.typeCode() && x.isEqual(y);
        }
        case Kind::date: {
            double x = static_cast<const base::Date&>(a).timeIntervalSinceReferenceDate();
            double y = static_cast<const base::Date&>(b).timeIntervalSinceReferenceDate();
            if (wholeSeconds) x = std::floor(x);
            return x == y || (std::isnan(x) && std::isnan(y));
        }
        case Kind::array: {
            const auto& x = static_cast<const base::Array&>(a);
            const auto& y = static_cast<const base::Array&>(b);
            if (x.count() != y.count()) return false;
            for (std::size_t i = 0; i < x.count(); ++i)
                if (!same(*x.at(i), *y.at(i), wholeSeconds)) return false;
            return true;
        }
        case Kind::dictionary: {
            const auto& x = static_cast<const base::Dictionary&>(a).entries();
            const auto& y = static_cast<const base::Dictionary&>(b).entries();
            if (x.size() != y.size()) return false;
            for (std::size_t i = 0; i < x.size(); ++i)
                if (!x[i].first->isEqual(*y[i].first) ||
                    !same(*x[i].second, *y[i].second, wholeSeconds))
                    return false;
            return true;
        }
        default:
            return a.isEqual(b);
    }
}

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "round trip failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    base::ObjectRef root;
    try {
        root = base::readPropertyList(std::span<const std::uint8_t>(data, size)).root;
    } catch (const base::PropertyListError&) {
        return 0;
    }
    for (auto format : {base::PropertyListFormat::binary, base::PropertyListFormat::xml}) {
        std::vector<std::uint8_t> bytes;
        try {
            bytes = base::writePropertyList(root, format);
        } catch (const base::PropertyListError&) {
            require(format == base::PropertyListFormat::xml, "binary writer refused what was read");
            continue;  // what XML cannot hold: control characters, far dates
        }
        auto copy = base::readPropertyList(bytes);
        require(copy.format == format, "format");
        require(same(*root, *copy.root, format == base::PropertyListFormat::xml), "values differ");
        require(base::writePropertyList(copy.root, format) == bytes, "bytes differ");
    }
    return 0;
}
