#include "Corral/ui/Responder.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace ui {

Responder::~Responder() = default;

base::Ref<Responder> Responder::nextResponder() const { return nullptr; }

std::string Responder::className() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(mangled);
}

}  // namespace ui
