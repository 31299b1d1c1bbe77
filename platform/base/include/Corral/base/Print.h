#pragma once
// Printing for page code. The runtime print hook `_paddockPrintHook` is a
// process-wide, replaceable callback that receives the text of every print.
//
// Two ways of printing reach it:
//  - print(items...): the items as text, separated by a space and followed by
//    a newline (both changeable), written to standard output and handed,
//    unchanged, to the hook;
//  - std::cout: once a hook has been set, std::cout is routed through a
//    buffer that writes everything to standard output at once and hands each
//    completed line (with its newline) to the hook. Text left without a
//    newline is not handed on until the line is completed.
// While a hook runs on a thread, what that thread prints or writes to
// std::cout goes to standard output only, so a hook that prints cannot loop
// back into itself.

#include <functional>
#include <locale>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "Corral/base/BaseExport.h"

namespace base {

using PrintHook = std::function<void(const std::string& text)>;

class BASE_EXPORT PrintHookSlot {
public:
    // The hook in force, or null. Holding the result keeps that hook alive
    // while it is called, even if it is replaced meanwhile.
    std::shared_ptr<const PrintHook> get() const;
    void set(std::shared_ptr<const PrintHook> hook);
    void set(PrintHook hook) { set(std::make_shared<const PrintHook>(std::move(hook))); }
};

// The process-wide runtime print hook slot.
BASE_EXPORT PrintHookSlot& _paddockPrintHook();

struct PrintOptions {
    std::string separator = " ";
    std::string terminator = "\n";
};

// Writes `text` to standard output and hands it to the print hook.
BASE_EXPORT void printText(const std::string& text);

template <class... Items>
void printWith(const PrintOptions& options, const Items&... items) {
    std::ostringstream out;
    out.imbue(std::locale::classic());  // "1.5" and "1234" whatever the process locale
    bool first = true;
    ((out << (first ? "" : options.separator) << items, first = false), ...);
    out << options.terminator;
    printText(out.str());
}

template <class... Items>
void print(const Items&... items) {
    printWith(PrintOptions{}, items...);
}

}  // namespace base
