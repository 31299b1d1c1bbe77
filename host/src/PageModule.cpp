#include "PageModule.h"

#include <dlfcn.h>

#include "Corral/PaddockPageModule.h"

namespace host {

std::optional<PageModule> PageModule::load(const std::string& path, std::string& error) {
    // A path without a slash would be searched for in the library path.
    std::string target = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = "cannot load page module " + path + ": " + (reason ? reason : "unknown error");
        return std::nullopt;
    }
    void* symbol = dlsym(handle, paddockPageEntryPointName);
    if (!symbol) {
        error = "page module " + path + " has no entry point " + paddockPageEntryPointName +
                " (declare it with PADDOCK_PAGE_MAIN)";
        dlclose(handle);
        return std::nullopt;
    }
    return PageModule(reinterpret_cast<EntryPoint>(symbol));
}

}  // namespace host
