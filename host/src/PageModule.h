#pragma once
// A page module: a shared library of page code with one entry point,
// loaded into the host process.

#include <optional>
#include <string>

namespace host {

class PageModule {
public:
    using EntryPoint = void (*)();

    // Loads the module; on failure returns nothing and says why in `error`.
    static std::optional<PageModule> load(const std::string& path, std::string& error);

    EntryPoint entryPoint() const noexcept { return entry_; }

private:
    // The module is never unloaded: its code may run until the process ends.
    explicit PageModule(EntryPoint entry) : entry_(entry) {}
    EntryPoint entry_;
};

}  // namespace host
