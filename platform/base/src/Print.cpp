#include "Corral/base/Print.h"

#include <iostream>
#include <mutex>
#include <streambuf>
#include <vector>

namespace base {

namespace {

// Set while a hook runs on this thread: what the thread prints meanwhile
// goes to standard output only.
thread_local bool insideHook = false;

struct HookGuard {
    HookGuard() { insideHook = true; }
    ~HookGuard() { insideHook = false; }
};

// The slot's contents. Never destroyed: std::cout's forwarding buffer reads
// the slot for as long as anything prints, static destructors included.
struct SlotContents {
    std::mutex mutex;
    std::shared_ptr<const PrintHook> hook;
};
SlotContents& slotContents() {
    static auto* contents = new SlotContents();
    return *contents;
}

void callHook(const std::string& text) {
    if (insideHook) return;
    auto hook = _paddockPrintHook().get();
    if (!hook || !*hook) return;
    HookGuard guard;
    (*hook)(text);
}

// Sits in front of std::cout's original buffer: passes every character on at
// once and hands each completed line to the print hook.
class LineForwardingBuffer final : public std::streambuf {
public:
    explicit LineForwardingBuffer(std::streambuf* target) : target_(target) {}
    std::streambuf* target() const { return target_; }

protected:
    int overflow(int ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
        char c = traits_type::to_char_type(ch);
        return xsputn(&c, 1) == 1 ? ch : traits_type::eof();
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::streamsize written = target_->sputn(s, n);
        if (insideHook) return written;
        std::vector<std::string> complete;
        {
            std::lock_guard lock(mutex_);
            for (std::streamsize i = 0; i < n; ++i) {
                line_ += s[i];
                if (s[i] == '\n') {
                    complete.push_back(std::move(line_));
                    line_.clear();
                }
            }
        }
        for (const auto& line : complete) callHook(line);
        return written;
    }

    int sync() override { return target_->pubsync(); }

private:
    std::streambuf* target_;
    std::mutex mutex_;
    std::string line_;
};

LineForwardingBuffer* installedBuffer = nullptr;

void routeStandardOutputThroughHook() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Never destroyed: std::cout may be written to by static destructors.
        installedBuffer = new LineForwardingBuffer(std::cout.rdbuf());
        std::cout.rdbuf(installedBuffer);
    });
}

std::streambuf* standardOutput() {
    return installedBuffer ? installedBuffer->target() : std::cout.rdbuf();
}

}  // namespace

std::shared_ptr<const PrintHook> PrintHookSlot::get() const {
    auto& contents = slotContents();
    std::lock_guard lock(contents.mutex);
    return contents.hook;
}

void PrintHookSlot::set(std::shared_ptr<const PrintHook> hook) {
    if (hook) routeStandardOutputThroughHook();
    auto& contents = slotContents();
    std::lock_guard lock(contents.mutex);
    std::swap(contents.hook, hook);  // the old hook is released after the lock
}

PrintHookSlot& _paddockPrintHook() {
    static auto* slot = new PrintHookSlot();  // lives until exit, like its contents
    return *slot;
}

void printText(const std::string& text) {
    standardOutput()->sputn(text.data(), static_cast<std::streamsize>(text.size()));
    callHook(text);
}

}  // namespace base
