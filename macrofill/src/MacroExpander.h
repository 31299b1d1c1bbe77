#pragma once
// Expands build-setting references "$(NAME)" in strings, and in the strings
// of arrays and dictionaries, with the definitions of one table.
//
// The result is that of the plain algorithm: scan left to right; "$" and the
// character after it are skipped in pairs unless the second is "("; a
// reference runs from "$(" to the ")" that balances it; its name text is
// expanded first, the name looked up (missing: the empty string), and the
// value put in place of the reference and scanned again from its start; a
// reference without its ")" leaves the whole string as it came in.
//
// Most strings hold references to names whose values stand on their own:
// those are expanded in one pass, each value expanded where it is met. Any
// other string takes the general way. Replacing in place would make each
// replacement cost the length of the string. Instead the text still to be
// scanned is kept as a stack of pieces (the rest of the input, and of each
// value put in), so each character is handled a bounded number of times.
// Definitions that refer to themselves are detected rather than followed
// for ever, and one string's expansion is bounded in size, so that
// definitions doubling at every level fail instead of exhausting memory.

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Corral/base/Objects.h"
#include "KeyPath.h"

namespace macrofill {

class MacroExpander {
public:
    // Characters one string's expansion may handle beyond four times its own
    // length: pieces put in, and reference text scanned.
    static constexpr std::size_t expansionAllowance = std::size_t{64} << 20;

    // `table` must outlive the expander. `allowance` replaces
    // expansionAllowance (tests use a small one).
    explicit MacroExpander(const base::Dictionary& table,
                           std::size_t allowance = expansionAllowance);
    ~MacroExpander();
    MacroExpander(const MacroExpander&) = delete;
    MacroExpander& operator=(const MacroExpander&) = delete;

    base::Ref<base::String> expandString(const base::Ref<base::String>& string);
    // The expansion of `text`, or null when it is `text` unchanged. The
    // result lives until the next expansion.
    const std::string* expandText(std::string_view text);
    base::Ref<base::Array> expandArray(const base::Ref<base::Array>& array);
    base::Ref<base::Dictionary> expandDictionary(const base::Ref<base::Dictionary>& dictionary);
    // A string, array or dictionary expanded; anything else as it is.
    base::ObjectRef expandValue(const base::ObjectRef& value);
    // After expandValue failed: where the string it failed on sits in the
    // value, or the empty path for the value itself.
    KeyPath failureKeyPath() const;

private:
    struct Frame;
    struct Record;
    enum class Outcome { finished, unterminated, nameToExpand };

    // The usual string is expanded directly, each name text and each value
    // put in expanded where it is met, by recursion, into the output. That
    // gives the frames' result as long as no value depends on the text after
    // it (a reference it leaves open, a "$" it ends in) and no definition is
    // met again inside its own value; at any such point, at a value that is
    // not a string, past the allowance or past a depth, the direct way gives
    // up (needsFrames) and the frames expand the string from its start, with
    // whatever outcome or failure they come to.
    enum class Direct { expanded, unterminated, needsFrames };
    enum class Piece { string, name, value };
    static constexpr std::size_t maxDirectDepth = 32;
    Direct expandDirectly(std::string_view text, std::string& output, Piece piece,
                          std::size_t depth);
    // Takes `characters` from the direct way's budget; false when too few are left.
    bool chargeDirectly(std::size_t characters);
    Outcome run(Frame& frame);
    void consume(Frame& frame, std::size_t count);
    bool findReference(const Frame& frame, std::size_t& length);
    void resolve(Frame& frame, std::string_view name);
    // The table's entry for `name`, or null.
    const base::Dictionary::Entry* lookUp(std::string_view name);
    Frame& startFrame(std::size_t depth);
    void endFrame();
    void popRecord();
    void charge(std::size_t characters);
    // The name of the table's entry at `position`.
    std::string_view nameAt(std::size_t position) const;
    // The name of an entry found by name: its key is a string.
    static std::string_view nameAt(const base::Dictionary::Entry* entry);
    [[noreturn]] void cycleError(std::size_t definition) const;
    [[noreturn]] void nameCycleError(std::size_t fromDepth) const;
    // Expands the element at `index` of an array, or under `key` of a
    // dictionary; on failure notes its place.
    base::ObjectRef expandElement(const base::ObjectRef& value, const base::ObjectRef* key,
                                  std::size_t index);

    const base::Dictionary& table_;
    // Entries found recently, by a hash of the name, in slots made on the
    // first look-up: the same names come back again and again, and
    // comparing one with the entry's key costs a fraction of the table's
    // own look-up.
    struct RecentEntry {
        std::size_t hash = 0;  // none is 0
        const base::Dictionary::Entry* entry = nullptr;
    };
    std::vector<RecentEntry> recentEntries_;
    // For each entry of the table, by position: true while its value is
    // being expanded (it has a record). Filled on the first look-up; one bit
    // an entry, so that a large table costs little.
    std::vector<bool> active_;
    std::vector<std::unique_ptr<Frame>> frames_;
    std::size_t depth_ = 0;
    std::deque<Record> records_;  // grows in blocks, like each frame's pieces
    // The text each running frame expands, and its depth: a name whose
    // expansion needs the expansion of the same text never ends.
    std::unordered_map<std::string_view, std::size_t> activeSources_;
    std::string name_;  // the name text of the reference being handled
    bool nameHasReference_ = false;
    std::size_t allowance_;
    std::size_t budget_ = 0;
    std::size_t directBudget_ = 0;
    std::vector<std::size_t> directDefinitions_;  // whose values are being expanded directly
    std::vector<std::string> directNames_;        // expanded name texts, by depth, made at once
    std::size_t nesting_ = 0;
    std::unordered_map<const base::Object*, base::ObjectRef> sharedResults_;
    // The places of a failed string, innermost first, noted while the
    // failure passes up through the containers.
    std::vector<KeyPath::Component> failurePlaces_;
};

}  // namespace macrofill
