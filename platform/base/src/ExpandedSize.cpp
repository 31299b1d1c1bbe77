#include "Corral/base/ExpandedSize.h"

#include <unordered_map>
#include <vector>

#include "Corral/base/Objects.h"

namespace base {

namespace {

constexpr std::uint64_t nodeCost = 16;
constexpr std::uint64_t unbounded = std::numeric_limits<std::uint64_t>::max();

std::uint64_t add(std::uint64_t a, std::uint64_t b) noexcept {
    return a > unbounded - b ? unbounded : a + b;
}

// What an object costs by itself: its own node and its text or data.
std::uint64_t ownSize(const Object& object) noexcept {
    switch (object.kind()) {
        case Kind::string:
            return add(nodeCost, static_cast<const String&>(object).text().size());
        case Kind::data:
            return add(nodeCost, static_cast<const Data&>(object).length());
        default:
            return nodeCost;
    }
}

bool isContainer(const Object& object) noexcept {
    return object.kind() == Kind::array || object.kind() == Kind::dictionary;
}

// A container being measured: its children are visited one by one, so
// nesting of any depth does not recurse.
struct Frame {
    const Object* container;
    bool shared;  // remembered once measured
    std::size_t next = 0;
    std::uint64_t total = 0;
};

// The next child of a frame, or null when all were visited. Dictionary
// entries count their key as a child of its own.
const ObjectRef* child(Frame& frame, bool& isKey) {
    isKey = false;
    if (frame.container->kind() == Kind::array) {
        const auto& elements = static_cast<const Array&>(*frame.container).elements();
        return frame.next < elements.size() ? &elements[frame.next++] : nullptr;
    }
    const auto& dictionary = static_cast<const Dictionary&>(*frame.container);
    std::size_t entry = frame.next / 2;
    if (entry >= dictionary.count()) return nullptr;
    isKey = frame.next % 2 == 0;
    const auto& pair = *(dictionary.begin() + static_cast<std::ptrdiff_t>(entry));
    ++frame.next;
    return isKey ? &pair.first : &pair.second;
}

}  // namespace

std::uint64_t expandedSize(const ObjectRef& object, std::uint64_t limit) {
    if (!object) return 0;
    if (!isContainer(*object)) return ownSize(*object);
    // Measured containers that are held in more than one place. A container
    // held once is reached once, so only shared ones need remembering; one
    // that is still being measured is marked `unbounded` (a cycle).
    std::unordered_map<const Object*, std::uint64_t> measured;
    std::vector<Frame> stack;
    // The root is remembered too, so that a graph holding itself ends.
    measured.emplace(object.get(), unbounded);
    stack.push_back({object.get(), true, 0, nodeCost});
    std::uint64_t result = 0;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.total > limit) return top.total;  // the root passes it too
        bool isKey = false;
        const ObjectRef* next = child(top, isKey);
        if (!next) {
            std::uint64_t total = top.total;
            if (top.shared) measured[top.container] = total;
            stack.pop_back();
            if (stack.empty()) {
                result = total;
            } else {
                stack.back().total = add(stack.back().total, total);
            }
            continue;
        }
        const Object& element = **next;
        if (!isContainer(element)) {
            top.total = add(top.total, ownSize(element));
            continue;
        }
        // The graph holds one reference of its own here; more mean sharing.
        bool shared = next->use_count() > 1;
        if (shared) {
            auto [entry, inserted] = measured.try_emplace(&element, unbounded);
            if (!inserted) {
                top.total = add(top.total, entry->second);
                continue;
            }
        }
        stack.push_back({&element, shared, 0, nodeCost});
    }
    return result;
}

}  // namespace base
