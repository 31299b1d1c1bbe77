#include "Corral/PaddockValue.h"

#include <optional>

PaddockValue PaddockValue::array(Array elements) {
    return PaddockValue(Shared<Array>(std::move(elements)));
}

PaddockValue PaddockValue::dictionary(Dictionary entries) {
    return PaddockValue(Shared<Dictionary>(std::move(entries)));
}

PaddockValue PaddockValue::string(std::string text) {
    return PaddockValue(Shared<std::string>(std::move(text)));
}

PaddockValue PaddockValue::data(Data bytes) { return PaddockValue(Shared<Data>(std::move(bytes))); }

// A nested array or dictionary being emptied: the position of the next
// element to look at.
struct PaddockValue::Level {
    PaddockValue::Array* array = nullptr;
    std::size_t index = 0;
    PaddockValue::Dictionary* dictionary = nullptr;
    PaddockValue::Dictionary::iterator entry{};

    // The next element, or null when every element has been looked at.
    PaddockValue* next() {
        if (array) return index < array->size() ? &(*array)[index++] : nullptr;
        return entry != dictionary->end() ? &(entry++)->second : nullptr;
    }
    void clear() {
        if (array) {
            array->clear();
        } else {
            dictionary->clear();
        }
    }
};

std::optional<PaddockValue::Level> PaddockValue::ownedLevel() {
    if (auto* box = std::get_if<Shared<Array>>(&storage_); box && box->isUnique()) {
        if (box->get().empty()) return std::nullopt;
        return Level{&box->mutate(), 0, nullptr, {}};
    }
    if (auto* box = std::get_if<Shared<Dictionary>>(&storage_); box && box->isUnique()) {
        if (box->get().empty()) return std::nullopt;
        auto& entries = box->mutate();
        return Level{nullptr, 0, &entries, entries.begin()};
    }
    return std::nullopt;
}

void PaddockValue::releaseNestedValues() noexcept {
    // The nested arrays and dictionaries that only this value holds are
    // emptied depth first, innermost first, so every destructor that runs
    // finds its own nested containers already empty. The walk keeps one
    // entry per level of nesting rather than one per container: releasing a
    // broad value allocates next to nothing, and nothing large is freed at
    // its end.
    auto root = ownedLevel();
    if (!root) return;
    std::vector<Level> open;
    auto isContainer = [](const PaddockValue* v) {
        return v->tag() == Case::array || v->tag() == Case::dictionary;
    };
    for (PaddockValue* element = root->next(); element; element = root->next()) {
        if (!isContainer(element)) continue;
        auto nested = element->ownedLevel();
        if (!nested) continue;
        open.push_back(*nested);
        while (!open.empty()) {
            if (PaddockValue* child = open.back().next()) {
                if (!isContainer(child)) continue;
                if (auto level = child->ownedLevel()) open.push_back(*level);
                continue;
            }
            open.back().clear();
            open.pop_back();
        }
    }
}
