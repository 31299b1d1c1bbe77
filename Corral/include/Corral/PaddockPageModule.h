#pragma once
// The entry point of a page module. A page's code is built into a loadable
// module (see corral_add_page in the CMake package) whose one entry point a
// host calls to run the page:
//
//     #include "Corral/PaddockPageModule.h"
//
//     PADDOCK_PAGE_MAIN() {
//         base::print("Hello from the page");
//     }

#define PADDOCK_PAGE_MAIN() extern "C" __attribute__((visibility("default"))) void corralPageMain()

// The symbol a host looks up in a page module.
inline constexpr const char* paddockPageEntryPointName = "corralPageMain";
