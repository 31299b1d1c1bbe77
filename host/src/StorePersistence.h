#pragma once
// Keeps a page's key-value store from run to run in one binary property
// list, a dictionary from key to value in the object representation.
//
// load() reads the file (no file: an empty store). A file that cannot be
// read as a dictionary is kept aside under a name that says so
// ("KeyValueStore.corrupt-<time>.plist") and never overwritten; the run
// starts with an empty store. Temporary files that an earlier run left
// behind when it was killed while saving are removed.
//
// apply() takes the user info of one "PaddockKeyValueStoreDidChange"
// notification (a null value removes the key) and saves at once. Each save
// replaces the file atomically: the bytes go to a temporary file in the same
// folder, which is flushed to disk, renamed over the store file, and the
// folder is flushed too. A process killed at any moment leaves either the
// old or the new file, never a torn one.
//
// close() waits for a save in progress and refuses later ones, so a run can
// end from any thread without cutting a save short.

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "Corral/base/Dictionary.h"
#include "Corral/base/Object.h"

namespace host {

class StorePersistence {
public:
    // `report` receives a sentence for every problem (a file kept aside, a
    // failed save); it is called on the thread that met the problem.
    StorePersistence(std::filesystem::path file, std::function<void(const std::string&)> report);

    // The saved contents, to hand to "setContentsOfCurrentKeyValueStore:".
    base::Ref<base::Dictionary> load();
    // Applies one change notification's user info and saves. False when the
    // user info has no change in it or the save failed.
    bool apply(const base::ObjectRef& userInfo);
    // Replaces the whole contents (a host seeded the store) and saves.
    bool replace(const base::Ref<base::Dictionary>& contents);
    void close();
    // What the store holds now, as the host seeds a page with it.
    base::Ref<base::Dictionary> contents();

    const std::filesystem::path& file() const noexcept { return file_; }

private:
    bool save();

    std::filesystem::path file_;
    std::function<void(const std::string&)> report_;
    std::mutex mutex_;
    bool closed_ = false;
    // Sorted by key, so the file is the same for the same contents.
    std::map<std::string, base::ObjectRef> contents_;
};

}  // namespace host
