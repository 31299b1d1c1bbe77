#include "StorePersistence.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "Corral/PaddockNotifications.h"
#include "Corral/base/FileSystem.h"
#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"

namespace host {

namespace fs = std::filesystem;

namespace {

// Flushes a folder's entries (a rename in it) to disk.
bool syncFolder(const fs::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// The temporary files base::writeFileAtomically makes beside `file`:
// ".<name>.<number>.tmp".
bool isLeftoverTemporary(const fs::path& candidate, const fs::path& file) {
    std::string name = candidate.filename().string();
    std::string prefix = "." + file.filename().string() + ".";
    return name.size() > prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - 4, 4, ".tmp") == 0;
}

}  // namespace

StorePersistence::StorePersistence(fs::path file, std::function<void(const std::string&)> report)
    : file_(std::move(file)), report_(std::move(report)) {}

base::Ref<base::Dictionary> StorePersistence::load() {
    std::lock_guard lock(mutex_);
    std::error_code ec;
    for (fs::directory_iterator it(file_.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (isLeftoverTemporary(it->path(), file_)) fs::remove(it->path(), ec);
    }
    contents_.clear();
    if (!fs::exists(file_, ec)) return base::Dictionary::make();

    std::string problem;
    if (auto bytes = base::readFile(file_.string())) {
        try {
            auto root = base::cast<base::Dictionary>(base::readPropertyList(*bytes).root);
            if (root && root->hasOnlyStringKeys()) {
                for (const auto& [key, value] : *root) contents_[key->description()] = value;
                return root;
            }
            problem = "it does not hold a dictionary";
        } catch (const base::PropertyListError& e) {
            problem = e.what();
        }
    } else {
        problem = "it cannot be read";
    }
    // Keep the damaged file for whoever wants to look at it; the run starts
    // empty and its first save writes a fresh file.
    auto stamp = std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    fs::path aside = file_;
    aside.replace_filename(file_.stem().string() + ".corrupt-" + std::to_string(stamp) +
                           file_.extension().string());
    fs::rename(file_, aside, ec);
    if (ec) {
        closed_ = true;  // never overwrite a file that could not be kept aside
        report_("the key-value store file " + file_.string() + " is damaged (" + problem +
                ") and cannot be moved aside (" + ec.message() +
                "): the store starts empty and will not be saved");
    } else {
        report_("the key-value store file " + file_.string() + " is damaged (" + problem +
                "): kept as " + aside.string() + "; the store starts empty");
    }
    return base::Dictionary::make();
}

StorePersistence::~StorePersistence() { close(); }

bool StorePersistence::apply(const base::ObjectRef& userInfo) {
    auto info = base::cast<base::Dictionary>(userInfo);
    auto change = info ? base::cast<base::Dictionary>(
                             info->objectForKey(PaddockNotifications::Key::keyValueStoreChange))
                       : nullptr;
    auto key =
        change
            ? base::cast<base::String>(change->objectForKey(PaddockNotifications::Key::changeKey))
            : nullptr;
    if (!key) return false;
    auto value = change->objectForKey(PaddockNotifications::Key::changeValue);
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    if (!value || value->kind() == base::Kind::null) {
        contents_.erase(key->text());
    } else {
        contents_[key->text()] = value;
    }
    scheduleSave();
    return true;
}

bool StorePersistence::replace(const base::Ref<base::Dictionary>& contents) {
    std::map<std::string, base::ObjectRef> replacement;
    if (contents) {
        for (const auto& [key, value] : *contents) {
            if (value && value->kind() != base::Kind::null) replacement[key->description()] = value;
        }
    }
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    bool same = replacement.size() == contents_.size() &&
                std::equal(replacement.begin(), replacement.end(), contents_.begin(),
                           [](const auto& a, const auto& b) {
                               return a.first == b.first && a.second->isEqual(*b.second);
                           });
    if (same) return true;  // nothing to write: the file stays as it is
    contents_ = std::move(replacement);
    scheduleSave();
    return true;
}

base::Ref<base::Dictionary> StorePersistence::contents() {
    std::lock_guard lock(mutex_);
    return snapshot();
}

void StorePersistence::scheduleSave() {
    dirty_ = true;
    if (!saver_.joinable()) saver_ = std::thread([this] { runSaver(); });
    changed_.notify_one();
}

base::Ref<base::Dictionary> StorePersistence::snapshot() const {
    base::Dictionary::Builder builder(contents_.size());
    for (const auto& [key, value] : contents_) builder.set(key, value);
    return builder.build();
}

void StorePersistence::runSaver() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return dirty_ || closed_; });
        if (!dirty_) return;  // closed with nothing left to write
        dirty_ = false;
        auto contents = snapshot();
        ++saves_;
        lock.unlock();
        save(contents);
        lock.lock();
    }
}

bool StorePersistence::save(const base::Ref<base::Dictionary>& contents) {
    try {
        auto bytes = base::writePropertyList(contents, base::PropertyListFormat::binary);
        if (base::writeFileAtomically(file_.string(), bytes) && syncFolder(file_.parent_path())) {
            return true;
        }
        report_("cannot save the key-value store to " + file_.string() + ": " +
                std::strerror(errno));
    } catch (const base::PropertyListError& e) {
        report_(std::string("cannot save the key-value store: ") + e.what());
    }
    return false;
}

void StorePersistence::close() {
    std::lock_guard closing(closeMutex_);
    std::thread saver;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        saver = std::move(saver_);
        changed_.notify_all();
    }
    // The saver writes what is still unsaved before it ends.
    if (saver.joinable() && saver.get_id() != std::this_thread::get_id()) saver.join();
}

std::size_t StorePersistence::saves() const {
    std::lock_guard lock(mutex_);
    return saves_;
}

}  // namespace host
