#include "ExpansionFilter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "Corral/base/Exception.h"
#include "MacroExpansionError.h"
#include "ShortTextHash.h"

namespace macrofill {

namespace {

std::size_t slotOf(std::uint64_t object) {
    return static_cast<std::size_t>((object * 0x9e3779b97f4a7c15ull) >> 32);
}

}  // namespace

const ExpansionFilter::RememberedKey* ExpansionFilter::RememberedKeys::find(
    std::uint64_t object) const {
    if (slots_.empty()) return nullptr;
    std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = slotOf(object) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot].at == empty) return nullptr;
        if (slots_[slot].object == object) return &values_[slots_[slot].at];
    }
}

void ExpansionFilter::RememberedKeys::add(std::uint64_t object, RememberedKey key) {
    if (2 * (values_.size() + 1) > slots_.size()) {
        std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots_.size()));
        old.swap(slots_);
        std::size_t mask = slots_.size() - 1;
        for (const Slot& entry : old) {
            if (entry.at == empty) continue;
            std::size_t slot = slotOf(entry.object) & mask;
            while (slots_[slot].at != empty) slot = (slot + 1) & mask;
            slots_[slot] = entry;
        }
    }
    std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = slotOf(object) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot].object == object && slots_[slot].at != empty) return;
        if (slots_[slot].at == empty) {
            slots_[slot] = {object, static_cast<std::uint32_t>(values_.size())};
            values_.push_back(std::move(key));
            return;
        }
    }
}

void ExpansionFilter::RememberedKeys::clear() {
    slots_.clear();
    values_.clear();
}

// Passes a value on unless an earlier failure has settled the outcome.
template <class Call>
void ExpansionFilter::forward(Call call) {
    if (!forwarding()) return;
    try {
        call(*writer_);
    } catch (const base::PropertyListError&) {
        writeFailed_ = true;
    }
}

template <class Call>
void ExpansionFilter::forwardValue(Call call) {
    std::optional<StoredObject> stored = std::exchange(stored_, std::nullopt);
    bool told = std::exchange(writerTold_, false);
    forward([&](auto& w) {
        if (stored && !told && w.repeated(*stored)) return;
        call(w);
    });
}

// A key needs its text again: to notice a key given twice, and to name the
// place of a failure. A value needs nothing of its own: it is never the root,
// and it has the same outcome as the first time, which either was passed on
// to the writer (that now takes it by identity) or came after the outcome
// was settled (when nothing is passed on).
bool ExpansionFilter::repeated(const StoredObject& object) {
    if (object.read != rememberedRead_) {
        rememberedKeys_.clear();
        rememberedRead_ = object.read;
    }
    forget();
    const RememberedKey* key = nullptr;
    if (object.asKey) {
        key = rememberedKeys_.find(object.index);
        if (!key) {
            stored_ = object;  // remembered when it follows
            return false;
        }
    }
    if (forwarding()) {
        bool taken = false;
        forward([&](auto& w) { taken = w.repeated(object); });
        if (!taken && forwarding()) {
            stored_ = object;
            writerTold_ = true;  // the value follows, for the writer only
            return false;
        }
    }
    if (key) {
        keys_.key(key->hash);
        setKey(key->text);
    } else {
        value(false);
    }
    return true;
}

void ExpansionFilter::value(bool expandable) {
    if (depth_ == 0) {
        rootExpandable_ = expandable;
    } else if (Level& parent = levels_[depth_ - 1]; !parent.dictionary) {
        ++parent.elements;
    }
}

void ExpansionFilter::setKey(std::string_view text) {
    Level& level = levels_[depth_ - 1];
    level.keyCopied = !(text.data() >= stableBegin_ && text.data() + text.size() <= stableEnd_);
    if (level.keyCopied)
        level.keyCopy.assign(text);
    else
        level.key = text;
}

KeyPath ExpansionFilter::currentPath() const {
    std::vector<KeyPath::Component> components;
    for (std::size_t i = 0; i < depth_; ++i) {
        const Level& level = levels_[i];
        if (level.dictionary) {
            components.emplace_back(std::string(level.keyCopied ? level.keyCopy : level.key));
        } else {
            components.emplace_back(level.elements - 1);
        }
    }
    return KeyPath(std::move(components));
}

void ExpansionFilter::beginDictionary() {
    forget();  // containers are not taken by identity
    value(true);
    if (levels_.size() == depth_) levels_.emplace_back();
    levels_[depth_++].dictionary = true;
    keys_.beginDictionary();
    forward([](auto& w) { w.beginDictionary(); });
}

void ExpansionFilter::beginArray() {
    forget();
    value(true);
    if (levels_.size() == depth_) levels_.emplace_back();
    Level& level = levels_[depth_++];
    level.dictionary = false;
    level.elements = 0;
    keys_.beginArray();
    forward([](auto& w) { w.beginArray(); });
}

void ExpansionFilter::endContainer() {
    --depth_;
    keys_.endContainer();
    forward([](auto& w) { w.endContainer(); });
}

void ExpansionFilter::key(std::string_view text) {
    std::size_t hash = shortTextHash(text);
    keys_.key(hash);
    if (stored_) rememberedKeys_.add(stored_->index, {hash, std::string(text)});
    setKey(text);
    // Keys are never expanded.
    forwardValue([text](auto& w) { w.key(text); });
}

void ExpansionFilter::string(std::string_view text) {
    value(true);
    if (expansionFailure_) return forget();
    const std::string* expanded = nullptr;
    try {
        expanded = expander_.expandText(text);
    } catch (const base::InvalidArgumentException&) {
        expansionFailure_ = std::current_exception();
    } catch (const MacroExpansionError&) {
        expansionFailure_ = std::current_exception();
    }
    if (expansionFailure_) expansionFailurePath_ = currentPath();
    std::string_view result = expanded ? std::string_view(*expanded) : text;
    forwardValue([result](auto& w) { w.string(result); });
}

// A value passed on as it is.
template <class Call>
void ExpansionFilter::unexpanded(Call call) {
    value(false);
    forwardValue(call);
}

void ExpansionFilter::boolean(bool v) {
    unexpanded([v](auto& w) { w.boolean(v); });
}

void ExpansionFilter::integer(std::int64_t v) {
    unexpanded([v](auto& w) { w.integer(v); });
}

void ExpansionFilter::unsignedInteger(std::uint64_t v) {
    unexpanded([v](auto& w) { w.unsignedInteger(v); });
}

void ExpansionFilter::real(double v) {
    unexpanded([v](auto& w) { w.real(v); });
}

void ExpansionFilter::date(double seconds) {
    unexpanded([seconds](auto& w) { w.date(seconds); });
}

void ExpansionFilter::data(std::span<const std::uint8_t> bytes) {
    unexpanded([bytes](auto& w) { w.data(bytes); });
}

}  // namespace macrofill
