#pragma once
// The store of named values that page code shares with its host. There is
// one per process, PaddockKeyValueStore::current() (also reached as
// PaddockPage::current().keyValueStore()); it holds its entries in memory
// only, and keeping them from run to run is the host's business.
//
//     auto& store = PaddockKeyValueStore::current();
//     store["score"] = PaddockValue::integer(3);              // posts once
//     std::optional<PaddockValue> score = store["score"];      // reads, posts nothing
//     store["score"] = std::nullopt;                           // removes, posts once
//     store["score"].modify([](std::optional<PaddockValue>& v) { ... });  // posts once
//
// Every write by page code posts "PaddockKeyValueStoreDidChange" with the
// store as sender and the user info {"PaddockKeyValueStoreChange": {"Key":
// key, "Value": the value's object representation, or the null object for a
// removal}}, also when nothing changed. The store is updated before the post,
// so observers read the new state and may write themselves. The host's
// writes (through the bridge) are not announced.
//
// A value whose parts are shared so often that, written out as a tree, it
// would take more than 64 MiB (16 bytes a value plus its text or data, at
// every place it occurs) cannot be kept by any host: writing it is refused
// whole. The entry keeps what it held, nothing is posted, and the refusal is
// written to the unified log (category "Diagnostics").
//
// The store takes no lock and does not check threads: use it, and call the
// host entries that change it, from one thread only (the page's thread).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Corral/CorralExport.h"
#include "Corral/PaddockValue.h"
#include "Corral/base/Object.h"

class PaddockKeyValueStoreAccess;

class CORRAL_EXPORT PaddockKeyValueStore final : public base::Object {
public:
    // The single store of the process, created empty on first use and never released.
    static PaddockKeyValueStore& current();

    // One key of the store, as `store[key]` yields it. Reading it reads the
    // store at that moment; assigning to it writes (and posts) once. Keep it
    // only as long as the statement that uses it.
    class CORRAL_EXPORT Entry {
    public:
        // A copy of the entry's value; nothing when the key is absent.
        std::optional<PaddockValue> value() const;
        operator std::optional<PaddockValue>() const { return value(); }

        // Sets the entry, or removes it when `value` is absent; posts once.
        Entry& operator=(std::optional<PaddockValue> value);
        // Copies the value of another entry into this one; posts once.
        Entry& operator=(const Entry& other) { return *this = other.value(); }
        // Lets `change` edit the entry in place, then writes the result (one post).
        void modify(const std::function<void(std::optional<PaddockValue>&)>& change);

    private:
        friend class PaddockKeyValueStore;
        Entry(PaddockKeyValueStore& store, std::string key) : store_(store), key_(std::move(key)) {}
        Entry(const Entry&) = default;

        PaddockKeyValueStore& store_;
        std::string key_;
    };

    Entry operator[](std::string key) { return Entry(*this, std::move(key)); }
    std::optional<PaddockValue> operator[](std::string_view key) const;

    std::string className() const override { return "PaddockKeyValueStore"; }

    PaddockKeyValueStore(const PaddockKeyValueStore&) = delete;
    PaddockKeyValueStore& operator=(const PaddockKeyValueStore&) = delete;
    ~PaddockKeyValueStore() override;

private:
    friend class PaddockKeyValueStoreAccess;

    PaddockKeyValueStore();
    void write(const std::string& key, std::optional<PaddockValue> value);

    PaddockValue::Dictionary contents_;
};
