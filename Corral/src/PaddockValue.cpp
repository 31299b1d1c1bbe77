#include "Corral/PaddockValue.h"

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

void PaddockValue::releaseNestedValues() noexcept {
    // Nested arrays and dictionaries that only this value holds are moved
    // out into a work list before their holder dies, so every destructor
    // that runs finds its own nested containers already gone.
    std::vector<PaddockValue> work;
    auto moveOutNestedContainers = [&work](PaddockValue& value) {
        auto isContainer = [](const PaddockValue& v) {
            return v.tag() == Case::array || v.tag() == Case::dictionary;
        };
        if (auto* box = std::get_if<Shared<Array>>(&value.storage_); box && box->isUnique()) {
            for (auto& element : box->mutate())
                if (isContainer(element)) work.push_back(std::move(element));
        } else if (auto* box = std::get_if<Shared<Dictionary>>(&value.storage_);
                   box && box->isUnique()) {
            for (auto& entry : box->mutate())
                if (isContainer(entry.second)) work.push_back(std::move(entry.second));
        }
    };
    moveOutNestedContainers(*this);
    while (!work.empty()) {
        PaddockValue next = std::move(work.back());
        work.pop_back();
        moveOutNestedContainers(next);
    }
}
