#include "PaddockValueObjectRepresentation.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Corral/base/Objects.h"
#include "PaddockValueSharing.h"

namespace {

using Case = PaddockValue::Case;

// Out ----------------------------------------------------------------------

// The object of a value that is not an array or a dictionary; null for those.
base::ObjectRef leafObject(const PaddockValue& value) {
    switch (value.tag()) {
        case Case::array:
        case Case::dictionary:
            return nullptr;
        case Case::string:
            return base::String::make(*value.asString());
        case Case::data:
            return base::Data::make(*value.asData());
        case Case::date:
            return base::Date::withTimeIntervalSinceReferenceDate(
                value.asDate()->timeIntervalSinceReferenceDate);
        case Case::integer:
            return base::Number::initWithInteger(*value.asInteger());
        case Case::floatingPoint:
            return base::Number::initWithDouble(*value.asFloatingPoint());
        case Case::boolean:
            return base::Number::initWithBool(*value.asBoolean());
    }
    return nullptr;
}

// An array or dictionary whose object is being built: the objects of its
// elements are collected in order, then the container object is made.
class OutFrame {
public:
    OutFrame(const PaddockValue& value, const void* sharedPayload)
        : array_(value.asArray()), dictionary_(value.asDictionary()), shared_(sharedPayload) {
        if (array_) {
            elements_.reserve(array_->size());
        } else {
            entries_.reserve(dictionary_->size());
            nextEntry_ = dictionary_->begin();
        }
    }

    // The element whose object is to be added next, or null when all are in.
    const PaddockValue* nextElement() const {
        if (array_)
            return elements_.size() < array_->size() ? &(*array_)[elements_.size()] : nullptr;
        return nextEntry_ != dictionary_->end() ? &nextEntry_->second : nullptr;
    }

    void add(base::ObjectRef object) {
        if (array_) {
            elements_.push_back(std::move(object));
        } else {
            // The keys of a value's dictionary are unique already.
            entries_.add(base::String::make(nextEntry_->first), std::move(object));
            ++nextEntry_;
        }
    }

    base::ObjectRef build() {
        if (array_) return base::Array::make(std::move(elements_));
        return entries_.build();
    }

    // The container's payload when other values share it, else null.
    const void* sharedPayload() const { return shared_; }

private:
    const PaddockValue::Array* array_;
    const PaddockValue::Dictionary* dictionary_;
    const void* shared_;
    std::vector<base::ObjectRef> elements_;
    PaddockValue::Dictionary::const_iterator nextEntry_;
    base::Dictionary::Builder entries_;
};

// In -----------------------------------------------------------------------

constexpr std::string_view booleanCodes[] = {"c", "C", "B"};
constexpr std::string_view integerCodes[] = {"i", "s", "l", "q", "I", "S", "L", "Q"};
constexpr std::string_view floatingPointCodes[] = {"f", "d"};

template <std::size_t N>
bool contains(const std::string_view (&codes)[N], std::string_view code) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

std::optional<PaddockValue> numberValue(const base::Number& number) {
    const std::string& code = number.typeCode();
    if (contains(booleanCodes, code)) return PaddockValue::boolean(number.boolValue());
    if (contains(integerCodes, code)) return PaddockValue::integer(number.integerValue());
    if (contains(floatingPointCodes, code))
        return PaddockValue::floatingPoint(number.doubleValue());
    return std::nullopt;
}

// A new dictionary holding every entry of `source` as transformed, or
// nothing as soon as one transform yields nothing.
template <class Transform>
std::optional<PaddockValue::Dictionary> failable_map(const base::Dictionary& source,
                                                     Transform transform) {
    PaddockValue::Dictionary result;
    result.reserve(source.count());
    for (const auto& entry : source) {
        auto element = transform(entry);
        if (!element) return std::nullopt;
        result.insert_or_assign(std::move(element->first), std::move(element->second));
    }
    return result;
}

// Converts an object graph level by level. convert() turns one object into
// a value; an array or dictionary object becomes an empty container value
// whose elements are queued, to be filled by finish(). Each queued container
// lives in a shared box owned by the value tree, so its address stays put
// while the values that hold it are moved into their parents.
class InConversion {
public:
    // An object that several references share converts once; every later
    // reference gets a copy of that value, which shares its storage, so a
    // graph that holds one object many times, nested, converts in time and
    // space linear in the number of distinct objects. A container's value is
    // remembered while still empty: it is filled in place, through storage
    // that its copies share.
    std::optional<PaddockValue> convert(const base::ObjectRef& object) {
        if (!object) return std::nullopt;
        if (object.use_count() == 1) return convertObject(object);
        if (auto known = converted_.find(object.get()); known != converted_.end())
            return known->second;
        auto value = convertObject(object);
        if (value) converted_.emplace(object.get(), *value);
        return value;
    }

    // Fills every queued container; false as soon as one element fails.
    bool finish() {
        while (!pending_.empty()) {
            Pending next = pending_.back();
            pending_.pop_back();
            if (!fill(next)) return false;
        }
        return true;
    }

private:
    // Tests the kinds in the order string, dictionary, array, number, date,
    // data; the object is read in place, without taking references to it.
    std::optional<PaddockValue> convertObject(const base::ObjectRef& object) {
        const base::Object& o = *object;
        switch (o.kind()) {
            case base::Kind::string:
                return PaddockValue::string(static_cast<const base::String&>(o).text());
            case base::Kind::dictionary: {
                // Its keys are checked as its entries are converted: one
                // that is not a string object fails the whole conversion.
                auto value = PaddockValue::dictionary({});
                pending_.push_back({&o, nullptr, value.asMutableDictionary()});
                return value;
            }
            case base::Kind::array: {
                auto value = PaddockValue::array({});
                pending_.push_back({&o, value.asMutableArray(), nullptr});
                return value;
            }
            case base::Kind::number:
                return numberValue(static_cast<const base::Number&>(o));
            case base::Kind::date:
                return PaddockValue::date(
                    {static_cast<const base::Date&>(o).timeIntervalSinceReferenceDate()});
            case base::Kind::data:
                return PaddockValue::data(static_cast<const base::Data&>(o).bytes());
            default:
                return std::nullopt;
        }
    }

    struct Pending {
        const base::Object* source;
        PaddockValue::Array* array;
        PaddockValue::Dictionary* dictionary;
    };

    bool fill(const Pending& target) {
        if (target.array) {
            const auto& source = static_cast<const base::Array&>(*target.source);
            target.array->reserve(source.count());
            for (const auto& element : source) {
                auto value = convert(element);
                if (!value) return false;
                target.array->push_back(std::move(*value));
            }
            return true;
        }
        const auto& source = static_cast<const base::Dictionary&>(*target.source);
        auto entries = failable_map(source, [this](const base::Dictionary::Entry& entry) {
            return constructDictionaryElement(entry);
        });
        if (!entries) return false;
        *target.dictionary = std::move(*entries);
        return true;
    }

    // Keeps the key and converts the value; nothing when the key is not a
    // string object or the value does not convert.
    std::optional<std::pair<std::string, PaddockValue>> constructDictionaryElement(
        const base::Dictionary::Entry& entry) {
        if (entry.first->kind() != base::Kind::string) return std::nullopt;
        auto value = convert(entry.second);
        if (!value) return std::nullopt;
        return std::pair{static_cast<const base::String&>(*entry.first).text(), std::move(*value)};
    }

    std::vector<Pending> pending_;
    std::unordered_map<const base::Object*, PaddockValue> converted_;  // shared objects
};

}  // namespace

base::ObjectRef objectRepresentation(const PaddockValue& value) {
    if (auto leaf = leafObject(value)) return leaf;
    // The object of every payload that several values share, built once:
    // a value that holds one sub-value many times, nested, converts in time
    // and space linear in the value as built, and the objects share alike.
    std::unordered_map<const void*, base::ObjectRef> sharedObjects;
    std::vector<OutFrame> open;
    open.emplace_back(value, nullptr);
    for (;;) {
        if (const PaddockValue* element = open.back().nextElement()) {
            const void* shared = PaddockValueSharing::sharedPayload(*element);
            if (shared) {
                if (auto known = sharedObjects.find(shared); known != sharedObjects.end()) {
                    open.back().add(known->second);
                    continue;
                }
            }
            if (auto leaf = leafObject(*element)) {
                if (shared) sharedObjects.emplace(shared, leaf);
                open.back().add(std::move(leaf));
            } else {
                open.emplace_back(*element, shared);
            }
            continue;
        }
        base::ObjectRef finished = open.back().build();
        if (const void* shared = open.back().sharedPayload())
            sharedObjects.emplace(shared, finished);
        open.pop_back();
        if (open.empty()) return finished;
        open.back().add(std::move(finished));
    }
}

std::optional<PaddockValue> paddockValueFromObjectRepresentation(const base::ObjectRef& object) {
    InConversion conversion;
    auto value = conversion.convert(object);
    if (!value || !conversion.finish()) return std::nullopt;
    return value;
}
