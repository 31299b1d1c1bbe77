#include "Corral/ui/Bundle.h"

#include <filesystem>
#include <functional>
#include <system_error>

namespace ui {

base::Ref<Bundle> Bundle::make(std::string path) {
    return std::make_shared<Bundle>(std::move(path));
}

base::Ref<Bundle> Bundle::mainBundle() {
    static const base::Ref<Bundle> bundle = [] {
        std::error_code error;
        auto program = std::filesystem::read_symlink("/proc/self/exe", error);
        auto folder = error ? std::filesystem::current_path(error) : program.parent_path();
        return make(folder.string());
    }();
    return bundle;
}

bool Bundle::isEqual(const Object& other) const noexcept {
    auto* bundle = dynamic_cast<const Bundle*>(&other);
    return bundle && bundle->path_ == path_;
}

std::size_t Bundle::hash() const noexcept { return std::hash<std::string>{}(path_); }

}  // namespace ui
