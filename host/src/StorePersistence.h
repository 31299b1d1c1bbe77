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
// notification (a null value removes the key) and has it saved: a saver
// thread writes the contents as they are when it starts a save, so changes
// that arrive while a save runs are coalesced into the next one, and a page
// that writes in a tight loop costs one file write per save, not per
// change. Each save replaces the file atomically: the bytes go to a
// temporary file in the same folder, which is flushed to disk, renamed over
// the store file, and the folder is flushed too. A process killed at any
// moment leaves either the old or the new file, never a torn one.
//
// close() writes what is still unsaved, waits for that, and refuses later
// changes, so a run can end from any thread without losing or cutting a
// save short.

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

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
    ~StorePersistence();
    StorePersistence(const StorePersistence&) = delete;
    StorePersistence& operator=(const StorePersistence&) = delete;

    // Applies one change notification's user info and has it saved. False
    // when the user info has no change in it or the store is closed; a
    // failed save is reported.
    bool apply(const base::ObjectRef& userInfo);
    // Replaces the whole contents (a host seeded the store) and saves.
    bool replace(const base::Ref<base::Dictionary>& contents);
    void close();
    // How many times the file was written.
    std::size_t saves() const;
    // What the store holds now, as the host seeds a page with it.
    base::Ref<base::Dictionary> contents();

    const std::filesystem::path& file() const noexcept { return file_; }

private:
    // Writes `contents` (a snapshot); false, reported, when that fails.
    bool save(const base::Ref<base::Dictionary>& contents);
    base::Ref<base::Dictionary> snapshot() const;  // with mutex_ held
    void scheduleSave();                           // with mutex_ held
    void runSaver();

    std::filesystem::path file_;
    std::function<void(const std::string&)> report_;
    mutable std::mutex mutex_;
    std::mutex closeMutex_;  // a second close() waits for the first
    std::condition_variable changed_;
    bool closed_ = false;
    bool dirty_ = false;  // changes not yet in a save that has started
    std::size_t saves_ = 0;
    std::thread saver_;
    // Sorted by key, so the file is the same for the same contents.
    std::map<std::string, base::ObjectRef> contents_;
};

}  // namespace host
