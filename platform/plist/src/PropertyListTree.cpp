// Property lists as objects: a sink that builds the object graph from what
// a reader reports, and the walk that reports an object graph to a writer.

#include <array>
#include <unordered_map>

#include "Corral/base/Objects.h"
#include "PropertyListCodec.h"

namespace base {

namespace {

class TreeBuilder final : public PropertyListSink {
public:
    ObjectRef root() { return std::move(root_); }

    void beginDictionary() override { open(true); }
    void beginArray() override { open(false); }

    void endContainer() override {
        Frame& frame = stack_[--depth_];
        ObjectRef container;
        if (frame.dictionary) {
            // A key given twice keeps its first place and its last value.
            Dictionary::Builder builder(frame.items.size() / 2);
            for (std::size_t i = 0; i + 1 < frame.items.size(); i += 2)
                builder.set(std::move(frame.items[i]), std::move(frame.items[i + 1]));
            container = builder.build();
        } else {
            container = Array::make(std::move(frame.items));
        }
        frame.items = {};
        add(std::move(container));
    }

    void key(std::string_view text) override { add(shared(text)); }
    void string(std::string_view text) override { add(shared(text)); }

    // Booleans and small integers are shared objects: they are immutable,
    // and large lists hold many of them.
    void boolean(bool value) override {
        static const ObjectRef yes = Number::initWithBool(true), no = Number::initWithBool(false);
        add(value ? yes : no);
    }

    void integer(std::int64_t value) override {
        static const auto small = [] {
            std::array<ObjectRef, 256> numbers;
            for (std::size_t i = 0; i < numbers.size(); ++i)
                numbers[i] = Number::initWithInteger(static_cast<std::int64_t>(i));
            return numbers;
        }();
        add(value >= 0 && value < 256 ? small[static_cast<std::size_t>(value)]
                                      : Number::initWithInteger(value));
    }

    void unsignedInteger(std::uint64_t value) override {
        add(Number::initWithUnsignedLongLong(value));
    }
    void real(double value) override { add(Number::initWithDouble(value)); }
    void date(double seconds) override { add(Date::withTimeIntervalSinceReferenceDate(seconds)); }
    void data(std::span<const std::uint8_t> bytes) override { add(Data::make(bytes)); }

private:
    struct Frame {
        bool dictionary;
        std::vector<ObjectRef> items;  // dictionaries: key, value, key, value...
    };

    void open(bool dictionary) {
        if (depth_ == stack_.size()) stack_.emplace_back();
        stack_[depth_].dictionary = dictionary;
        ++depth_;
    }

    void add(ObjectRef value) {
        if (depth_ == 0) {
            root_ = std::move(value);
        } else {
            stack_[depth_ - 1].items.push_back(std::move(value));
        }
    }

    // Keys, and other short strings, repeat: each distinct one is made once.
    ObjectRef shared(std::string_view text) {
        constexpr std::size_t longest = 32;
        if (text.size() > longest) return String::make(std::string(text));
        auto found = strings_.find(text);
        if (found != strings_.end()) return found->second;
        auto made = String::make(std::string(text));
        strings_.emplace(made->text(), made);
        return made;
    }

    std::vector<Frame> stack_;  // frames past depth_ are kept for reuse
    std::size_t depth_ = 0;
    ObjectRef root_;
    std::unordered_map<std::string_view, Ref<String>> strings_;
};

void report(const Object& object, PropertyListSink& sink, std::size_t& depth) {
    switch (object.kind()) {
        case Kind::string:
            return sink.string(static_cast<const String&>(object).text());
        case Kind::number: {
            const auto& number = static_cast<const Number&>(object);
            switch (plist::numberForm(number)) {
                case plist::NumberForm::boolean:
                    return sink.boolean(number.boolValue());
                case plist::NumberForm::signedInteger:
                    return sink.integer(number.integerValue());
                case plist::NumberForm::unsignedInteger:
                    return sink.unsignedInteger(number.unsignedIntegerValue());
                case plist::NumberForm::real:
                    return sink.real(number.doubleValue());
            }
            return;
        }
        case Kind::date:
            return sink.date(static_cast<const Date&>(object).timeIntervalSinceReferenceDate());
        case Kind::data:
            return sink.data(static_cast<const Data&>(object).bytes());
        case Kind::array: {
            plist::DepthGuard guard(depth, true);
            sink.beginArray();
            for (const auto& element : static_cast<const Array&>(object))
                report(*element, sink, depth);
            return sink.endContainer();
        }
        case Kind::dictionary: {
            plist::DepthGuard guard(depth, true);
            sink.beginDictionary();
            for (const auto& [key, value] : static_cast<const Dictionary&>(object)) {
                if (key->kind() != Kind::string)
                    plist::unwritable("a dictionary key is not a string");
                sink.key(static_cast<const String&>(*key).text());
                report(*value, sink, depth);
            }
            return sink.endContainer();
        }
        default:
            plist::unwritable("a " + object.className() + " object has no property-list form");
    }
}

}  // namespace

PropertyListReadResult readPropertyList(std::span<const std::uint8_t> bytes) {
    TreeBuilder builder;
    PropertyListFormat format = readPropertyList(bytes, builder);
    return {builder.root(), format};
}

void reportPropertyList(const ObjectRef& root, PropertyListSink& sink) {
    if (!root) plist::unwritable("there is no root object");
    std::size_t depth = 0;
    report(*root, sink, depth);
}

}  // namespace base
