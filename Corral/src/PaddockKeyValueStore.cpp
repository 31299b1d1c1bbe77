#include "Corral/PaddockKeyValueStore.h"
#include "Corral/PaddockNotifications.h"

#include "BoundedObjectRepresentation.h"
#include "Corral/PaddockPage.h"
#include "Corral/base/NotificationCenter.h"
#include "Corral/base/Objects.h"
#include "PaddockKeyValueStoreAccess.h"
#include "PaddockValueObjectRepresentation.h"

namespace {
const base::NotificationName& paddockKeyValueStoreDidChange() {
    static const base::NotificationName name = PaddockNotifications::keyValueStoreDidChange;
    return name;
}
}  // namespace

PaddockKeyValueStore::PaddockKeyValueStore() = default;
PaddockKeyValueStore::~PaddockKeyValueStore() = default;

PaddockKeyValueStore& PaddockKeyValueStore::current() {
    // Never released: the store lives until the process ends.
    static base::Ref<PaddockKeyValueStore>* const store =
        new base::Ref<PaddockKeyValueStore>(new PaddockKeyValueStore());
    return **store;
}

PaddockKeyValueStore& PaddockPage::keyValueStore() const { return PaddockKeyValueStore::current(); }

std::optional<PaddockValue> PaddockKeyValueStore::operator[](std::string_view key) const {
    auto entry = contents_.find(key);
    if (entry == contents_.end()) return std::nullopt;
    return entry->second;
}

void PaddockKeyValueStore::write(const std::string& key, std::optional<PaddockValue> value) {
    // A value too large to be written out is refused whole: the store keeps
    // what it held and nobody hears of a change.
    base::ObjectRef representation = base::Null::null();
    if (value) {
        auto bounded = boundedObjectRepresentation(
            *value, "store: the value for the key \"" + key + "\"", "the store keeps what it held");
        if (!bounded) return;
        representation = std::move(*bounded);
    }
    // The contents are complete before anyone hears of the change, so an
    // observer reads the new state and may write in turn.
    if (value) {
        contents_.insert_or_assign(key, *value);
    } else {
        contents_.erase(key);
    }
    auto change = base::Dictionary::withStringKeys(
        {{PaddockNotifications::Key::changeKey, base::String::make(key)},
         {PaddockNotifications::Key::changeValue, std::move(representation)}});
    base::NotificationCenter::defaultCenter().post(
        paddockKeyValueStoreDidChange(), self(),
        base::Dictionary::withStringKeys(
            {{PaddockNotifications::Key::keyValueStoreChange, change}}));
}

std::optional<PaddockValue> PaddockKeyValueStore::Entry::value() const {
    return std::as_const(store_)[key_];
}

PaddockKeyValueStore::Entry& PaddockKeyValueStore::Entry::operator=(
    std::optional<PaddockValue> value) {
    store_.write(key_, std::move(value));
    return *this;
}

void PaddockKeyValueStore::Entry::modify(
    const std::function<void(std::optional<PaddockValue>&)>& change) {
    std::optional<PaddockValue> value = this->value();
    change(value);
    *this = std::move(value);
}

void PaddockKeyValueStoreAccess::replaceContents(PaddockKeyValueStore& store,
                                                 const base::Dictionary& objects) {
    PaddockValue::Dictionary contents;
    contents.reserve(objects.count());
    for (const auto& [key, object] : objects) {
        auto keyString = base::cast<base::String>(key);
        if (!keyString) continue;
        if (auto value = paddockValueFromObjectRepresentation(object)) {
            contents.insert_or_assign(keyString->text(), std::move(*value));
        }
    }
    store.contents_ = std::move(contents);
}

void PaddockKeyValueStoreAccess::setEntry(PaddockKeyValueStore& store, const std::string& key,
                                          const base::ObjectRef& object) {
    if (auto value = paddockValueFromObjectRepresentation(object)) {
        store.contents_.insert_or_assign(key, std::move(*value));
    } else {
        store.contents_.erase(key);
    }
}
