#pragma once
// Expands the strings of a property list while it is read, passing every
// value on to a writer, so that a large list is never held as objects.
//
// The outcome matches reading the whole list, expanding it and writing it,
// failure for failure: an expansion failure, or a value the writer cannot
// hold, is kept while reading goes on, so that a list that turns out not to
// be valid is still reported as such first. A dictionary that gives a key
// twice is the one case the stream cannot settle (the key keeps its first
// place but its last value): the filter stops with DuplicateKey, and the
// caller falls back to the objects.
//
// A value that the reader says it has reported before, by its stored object,
// is taken again without its text when the filter has seen it before: its
// outcome is the same as the first time (keys are passed on as they are,
// strings expand the same way). It is passed on to the writer by identity.

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Corral/plist/PropertyListStream.h"
#include "KeyCheck.h"
#include "KeyPath.h"
#include "MacroExpander.h"

namespace macrofill {

class ExpansionFilter final : public base::PropertyListSink {
public:
    // `writer` may be null: the values are then expanded and dropped.
    // `stable`: bytes that outlive the filter (the input), where a key found
    // there is kept as a view, not a copy.
    ExpansionFilter(MacroExpander& expander, base::PropertyListSink* writer,
                    std::span<const std::uint8_t> stable = {})
        : expander_(expander),
          writer_(writer),
          stableBegin_(reinterpret_cast<const char*>(stable.data())),
          stableEnd_(stableBegin_ + stable.size()) {}

    // The root was a string, an array or a dictionary: there is a result.
    bool hasResult() const { return rootExpandable_; }
    // The first expansion failure (InvalidArgumentException or
    // MacroExpansionError), if any.
    const std::exception_ptr& expansionFailure() const { return expansionFailure_; }
    // Where the string of that failure sits in the list.
    const KeyPath& expansionFailurePath() const { return expansionFailurePath_; }
    // The writer refused a value.
    bool writeFailed() const { return writeFailed_; }

    void beginDictionary() override;
    void beginArray() override;
    void endContainer() override;
    void key(std::string_view text) override;
    void string(std::string_view text) override;
    void boolean(bool value) override;
    void integer(std::int64_t value) override;
    void unsignedInteger(std::uint64_t value) override;
    void real(double value) override;
    void date(double seconds) override;
    void data(std::span<const std::uint8_t> bytes) override;
    bool repeated(const StoredObject& object) override;

private:
    struct Level {
        bool dictionary = false;
        // A dictionary's current key: a view of stable bytes, or a copy.
        std::string_view key;
        std::string keyCopy;
        bool keyCopied = false;
        std::size_t elements = 0;  // an array's elements so far
    };

    // What the filter needs to take a key again without its text.
    struct RememberedKey {
        std::size_t hash = 0;
        std::string text;
    };
    // Keys met more than once by stored object, in an open-addressing table
    // at most half full.
    class RememberedKeys {
    public:
        const RememberedKey* find(std::uint64_t object) const;
        void add(std::uint64_t object, RememberedKey key);
        void clear();

    private:
        struct Slot {
            std::uint64_t object = 0;
            std::uint32_t at = empty;
        };
        static constexpr std::uint32_t empty = UINT32_MAX;
        std::vector<Slot> slots_;
        std::vector<RememberedKey> values_;
    };

    void value(bool expandable);
    void setKey(std::string_view text);
    KeyPath currentPath() const;
    bool forwarding() const { return writer_ && !writeFailed_ && !expansionFailure_; }
    template <class Call>
    void forward(Call call);
    // Passes on a value that follows repeated(): by identity when the
    // writer takes it so, else by `call`.
    template <class Call>
    void forwardValue(Call call);
    template <class Call>
    void unexpanded(Call call);
    void forget() {
        stored_.reset();
        writerTold_ = false;
    }

    MacroExpander& expander_;
    base::PropertyListSink* writer_;
    const char* stableBegin_;
    const char* stableEnd_;
    KeyCheck keys_;
    std::vector<Level> levels_;  // levels past depth_ are kept for reuse
    std::size_t depth_ = 0;
    bool rootExpandable_ = false;
    bool writeFailed_ = false;
    std::exception_ptr expansionFailure_;
    KeyPath expansionFailurePath_;
    RememberedKeys rememberedKeys_;
    std::uint64_t rememberedRead_ = 0;  // the reading they belong to
    std::optional<StoredObject> stored_;
    bool writerTold_ = false;  // the writer has been given stored_ already
};

}  // namespace macrofill
