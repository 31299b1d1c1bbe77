#include "MacroExpander.h"

#include <cstring>
#include <deque>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Corral/base/Format.h"
#include "Corral/plist/PropertyList.h"
#include "MacroExpansionError.h"
#include "ShortTextHash.h"

namespace macrofill {

namespace {
constexpr std::size_t none = static_cast<std::size_t>(-1);
}

// Unscanned text: a piece of the input or of a value put in. A short piece
// is copied into the segment itself: the rest of a value is often scanned
// long after the value was put in (a chain of definitions leaves the text
// after each reference until the innermost value is done), and reading it
// from the stack of segments, in order, costs less than going back to the
// table's objects, scattered and by then out of the caches. Segments stay
// where they are put, so `begin` may point into `copy`.
struct Segment {
    const char* begin;
    const char* end;
    char copy[16];
    std::size_t size() const { return static_cast<std::size_t>(end - begin); }
};

namespace {

// Puts `text`, which must not be empty, on top of `rest`.
void pushSegment(std::deque<Segment>& rest, std::string_view text) {
    Segment& segment = rest.emplace_back();
    if (text.size() <= sizeof segment.copy) {
        std::memcpy(segment.copy, text.data(), text.size());
        segment.begin = segment.copy;
    } else {
        segment.begin = text.data();
    }
    segment.end = segment.begin + text.size();
}

}  // namespace

// One string being expanded: the string itself, or the name text of a
// reference, whose expansion gives the name to look up.
struct MacroExpander::Frame {
    std::string_view source;
    std::string ownedSource;  // the name text, for a name
    // The text after the scan position; the top piece is scanned first. A
    // deque grows in small blocks, without moving what it holds, so a long
    // chain of values put in never copies the stack or asks the system for
    // fresh pages.
    std::deque<Segment> rest;
    std::string output;               // the text before the scan position
    std::size_t lastResolved = none;  // the position in the table of the last name put in
    std::size_t firstRecord = 0;      // the records from here on are this frame's
};

// A value put into a frame at `index` of its pieces. While no character
// below that index has been scanned, meeting the same name again means the
// expansion would repeat for ever.
struct MacroExpander::Record {
    std::size_t definition;  // its position in the table
    std::size_t index;
};

MacroExpander::MacroExpander(const base::Dictionary& table, std::size_t allowance)
    : table_(table), allowance_(allowance) {}

MacroExpander::~MacroExpander() = default;

void MacroExpander::charge(std::size_t characters) {
    if (characters > budget_) {
        throw MacroExpansionError("the expansion of a string grows too large (beyond " +
                                  std::to_string(allowance_) +
                                  " bytes more than four times its length)");
    }
    budget_ -= characters;
}

MacroExpander::Frame& MacroExpander::startFrame(std::size_t depth) {
    if (frames_.size() <= depth) frames_.push_back(std::make_unique<Frame>());
    Frame& frame = *frames_[depth];
    frame.rest.clear();
    frame.output.clear();
    frame.lastResolved = none;
    frame.firstRecord = records_.size();
    return frame;
}

void MacroExpander::popRecord() {
    active_[records_.back().definition] = false;
    records_.pop_back();
}

void MacroExpander::endFrame() {
    while (records_.size() > frames_[depth_]->firstRecord) popRecord();
    // Most strings never fill the map; erasing from it would still hash
    // the whole text.
    if (!activeSources_.empty()) activeSources_.erase(frames_[depth_]->source);
}

// Moves the scan position `count` characters on (they have been copied to
// the output or belong to a reference).
void MacroExpander::consume(Frame& frame, std::size_t count) {
    while (count > 0) {
        Segment& top = frame.rest.back();
        std::size_t index = frame.rest.size() - 1;
        std::size_t taken = std::min(count, top.size());
        top.begin += taken;
        count -= taken;
        // Values put in above this piece no longer sit on untouched text.
        // (The size of the deque costs more than a look at its last record.)
        while (!records_.empty() && records_.back().index > index &&
               records_.size() > frame.firstRecord)
            popRecord();
        if (top.begin == top.end) frame.rest.pop_back();
    }
}

// With the scan position on "$(": finds the ")" that closes the reference
// and copies the name text. False when the text ends first.
bool MacroExpander::findReference(const Frame& frame, std::size_t& length) {
    name_.clear();
    nameHasReference_ = false;
    std::size_t skip = 2, scanned = 0;
    int depth = 0;
    for (std::size_t i = frame.rest.size(); i-- > 0;) {
        const char* p = frame.rest[i].begin;
        const char* end = frame.rest[i].end;
        if (skip) {
            std::size_t step = std::min(skip, frame.rest[i].size());
            p += step;
            skip -= step;
        }
        const char* start = p;
        for (; p < end; ++p) {
#ifdef __SSE2__
            // Sixteen characters at a look to the next one that matters.
            while (end - p >= 16) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                __m128i marks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(')')),
                                                          _mm_cmpeq_epi8(v, _mm_set1_epi8('('))),
                                             _mm_cmpeq_epi8(v, _mm_set1_epi8('$')));
                auto mask = static_cast<unsigned>(_mm_movemask_epi8(marks));
                if (mask) {
                    p += __builtin_ctz(mask);
                    break;
                }
                p += 16;
            }
            if (p == end) break;
#endif
            char c = *p;
            if (c == ')') {
                if (depth == 0) {
                    name_.append(start, static_cast<std::size_t>(p - start));
                    scanned += static_cast<std::size_t>(p - start);
                    charge(scanned);
                    length = name_.size() + 3;
                    return true;
                }
                --depth;
            } else if (c == '(') {
                ++depth;
            } else if (c == '$') {
                nameHasReference_ = true;
            }
        }
        name_.append(start, static_cast<std::size_t>(end - start));
        scanned += static_cast<std::size_t>(end - start);
    }
    return false;
}

std::string_view MacroExpander::nameAt(std::size_t position) const {
    return nameAt(&table_.entries()[position]);
}

std::string_view MacroExpander::nameAt(const base::Dictionary::Entry* entry) {
    return static_cast<const base::String&>(*entry->first).text();
}

void MacroExpander::cycleError(std::size_t definition) const {
    std::string path;
    // The cycle starts at the record of the definition met again, its only one.
    std::size_t start = records_.size() - 1;
    while (start > 0 && records_[start].definition != definition) --start;
    for (std::size_t i = start; i < records_.size(); ++i) {
        path += nameAt(records_[i].definition);
        path += " -> ";
    }
    path += nameAt(definition);
    throw MacroExpansionError("build setting references form a cycle: " + path);
}

void MacroExpander::nameCycleError(std::size_t fromDepth) const {
    std::string path;
    for (std::size_t depth = fromDepth; depth <= depth_; ++depth) {
        if (std::size_t definition = frames_[depth]->lastResolved; definition != none) {
            path += path.empty() ? "" : " -> ";
            path += nameAt(definition);
        }
    }
    std::string first = path.substr(0, path.find(" -> "));
    throw MacroExpansionError(
        "build setting references form a cycle: " +
        (path.empty() ? "a reference name contains itself" : path + " -> " + first));
}

const base::Dictionary::Entry* MacroExpander::lookUp(std::string_view name) {
    constexpr std::size_t slots = 1024;
    if (recentEntries_.empty()) recentEntries_.resize(slots);
    std::size_t hash = shortTextHash(name);
    RecentEntry& recent = recentEntries_[(hash >> 8) % slots];
    if (recent.hash == hash && nameAt(recent.entry) == name) return recent.entry;
    // Names are looked up in the table itself, so an expansion costs what it
    // looks up, never the size of the table. A name that is not there is
    // looked up again each time.
    const base::Dictionary::Entry* found = table_.entryForKey(name);
    if (found) recent = {hash, found};
    return found;
}

void MacroExpander::resolve(Frame& frame, std::string_view name) {
    const base::Dictionary::Entry* found = lookUp(name);
    if (!found) return;
    const base::ObjectRef& value = found->second;
    if (value->kind() != base::Kind::string) {
        base::raiseInvalidArgument(base::format(
            "The value for the macro %@ is not an Utterance but is a %@",
            {base::String::make(std::string(name)), base::String::make(value->className())}));
    }
    const std::string& text = static_cast<const base::String&>(*value).text();
    if (text.empty()) return;
    auto definition = static_cast<std::size_t>(found - table_.entries().data());
    if (active_.empty()) active_.assign(table_.count(), false);
    if (active_[definition]) cycleError(definition);
    charge(text.size());
    frame.lastResolved = definition;
    // A value without a "$" holds no reference: scanning it would copy it
    // as it is and leave it before anything could meet its name again.
    if (text.find('$') == std::string::npos) {
        frame.output += text;
        return;
    }
    pushSegment(frame.rest, text);
    active_[definition] = true;
    records_.push_back({definition, frame.rest.size() - 1});
}

MacroExpander::Outcome MacroExpander::run(Frame& frame) {
    while (!frame.rest.empty()) {
        Segment& top = frame.rest.back();
        const char* dollar = static_cast<const char*>(std::memchr(top.begin, '$', top.size()));
        if (!dollar) {
            frame.output.append(top.begin, top.size());
            consume(frame, top.size());
            continue;
        }
        if (dollar != top.begin) {
            frame.output.append(top.begin, static_cast<std::size_t>(dollar - top.begin));
            consume(frame, static_cast<std::size_t>(dollar - top.begin));
        }
        // The character after the "$", which may start the piece below
        // (pieces are never empty).
        const char* next = top.size() > 1          ? top.begin + 1
                           : frame.rest.size() > 1 ? frame.rest[frame.rest.size() - 2].begin
                                                   : nullptr;
        if (!next) {
            // "$" is the last character: scanning stops.
            frame.output += '$';
            consume(frame, 1);
            continue;
        }
        if (*next != '(') {
            frame.output += '$';
            frame.output += *next;
            consume(frame, 2);
            continue;
        }
        std::size_t length = 0;
        if (!findReference(frame, length)) return Outcome::unterminated;
        consume(frame, length);
        if (nameHasReference_) return Outcome::nameToExpand;
        resolve(frame, name_);
    }
    return Outcome::finished;
}

bool MacroExpander::chargeDirectly(std::size_t characters) {
    if (characters > directBudget_) return false;
    directBudget_ -= characters;
    return true;
}

MacroExpander::Direct MacroExpander::expandDirectly(std::string_view text, std::string& output,
                                                    Piece piece, std::size_t depth) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* dollar =
            static_cast<const char*>(std::memchr(p, '$', static_cast<std::size_t>(end - p)));
        if (!dollar) {
            output.append(p, static_cast<std::size_t>(end - p));
            break;
        }
        output.append(p, static_cast<std::size_t>(dollar - p));
        // "$" is copied with the character after it, unless that is "(". A
        // value's last "$" would be taken with what follows the value.
        if (dollar + 1 == end) {
            if (piece == Piece::value) return Direct::needsFrames;
            output += '$';
            break;
        }
        if (dollar[1] != '(') {
            output.append(dollar, 2);
            p = dollar + 2;
            continue;
        }
        // The name text runs to the ")" that balances the "(".
        const char* close = dollar + 2;
        int open = 0;
        bool nested = false;
        for (; close < end; ++close) {
            if (*close == ')') {
                if (open == 0) break;
                --open;
            } else if (*close == '(') {
                ++open;
            } else if (*close == '$') {
                nested = true;
            }
        }
        // A value's open reference would take in what follows the value.
        if (close == end) return piece == Piece::value ? Direct::needsFrames : Direct::unterminated;
        std::string_view name(dollar + 2, static_cast<std::size_t>(close - dollar - 2));
        p = close + 1;
        if (!chargeDirectly(name.size()) || depth >= maxDirectDepth) return Direct::needsFrames;
        if (nested) {
            // Made all at once: the texts of outer names are still being written.
            if (directNames_.empty()) directNames_.resize(maxDirectDepth);
            std::string& expanded = directNames_[depth];
            expanded.clear();
            // Its parentheses balance, so only a value can leave a reference open.
            if (expandDirectly(name, expanded, Piece::name, depth + 1) != Direct::expanded)
                return Direct::needsFrames;
            name = expanded;
        }
        const base::Dictionary::Entry* found = lookUp(name);
        if (!found) continue;
        if (found->second->kind() != base::Kind::string) return Direct::needsFrames;
        const std::string& value = static_cast<const base::String&>(*found->second).text();
        if (value.empty()) continue;
        if (!chargeDirectly(value.size())) return Direct::needsFrames;
        if (value.find('$') == std::string::npos) {
            output += value;
            continue;
        }
        auto definition = static_cast<std::size_t>(found - table_.entries().data());
        for (std::size_t running : directDefinitions_) {
            if (running == definition) return Direct::needsFrames;
        }
        directDefinitions_.push_back(definition);
        Direct outcome = expandDirectly(value, output, Piece::value, depth + 1);
        directDefinitions_.pop_back();
        if (outcome != Direct::expanded) return Direct::needsFrames;
    }
    return Direct::expanded;
}

base::Ref<base::String> MacroExpander::expandString(const base::Ref<base::String>& string) {
    // The expansion is frame 0's output, which the next expansion clears:
    // it moves into the new string rather than being copied.
    return expandText(string->text()) ? base::String::make(std::move(frames_[0]->output)) : string;
}

const std::string* MacroExpander::expandText(std::string_view text) {
    if (text.find('$') == std::string_view::npos) return nullptr;
    budget_ = allowance_ + 4 * text.size();
    // The result is frame 0's output either way.
    if (frames_.empty()) frames_.push_back(std::make_unique<Frame>());
    std::string& output = frames_[0]->output;
    output.clear();
    directBudget_ = budget_;
    directDefinitions_.clear();
    switch (expandDirectly(text, output, Piece::string, 0)) {
        case Direct::expanded:
            return output == text ? nullptr : &output;
        case Direct::unterminated:
            return nullptr;
        case Direct::needsFrames:
            break;
    }
    while (!records_.empty()) popRecord();  // left by an expansion that failed
    depth_ = 0;
    Frame* frame = &startFrame(0);
    frame->source = text;
    pushSegment(frame->rest, text);
    // The string's own text joins the running sources with the first name
    // to expand: most strings have none, and are not hashed for it.
    activeSources_.clear();
    for (;;) {
        Outcome outcome = run(*frame);
        if (outcome == Outcome::nameToExpand) {
            if (activeSources_.empty()) activeSources_.emplace(frames_[0]->source, 0);
            auto repeated = activeSources_.find(name_);
            if (repeated != activeSources_.end()) nameCycleError(repeated->second);
            Frame& child = startFrame(++depth_);
            child.ownedSource = name_;
            child.source = child.ownedSource;
            pushSegment(child.rest, child.ownedSource);
            activeSources_.emplace(child.source, depth_);
            frame = &child;
            continue;
        }
        endFrame();
        if (depth_ == 0) {
            if (outcome == Outcome::unterminated || frame->output == text) return nullptr;
            return &frame->output;
        }
        std::string_view name =
            outcome == Outcome::finished ? std::string_view(frame->output) : frame->source;
        frame = frames_[--depth_].get();
        // The name is looked up in the frame that holds the reference.
        resolve(*frame, name);
    }
}

base::ObjectRef MacroExpander::expandValue(const base::ObjectRef& value) {
    switch (value->kind()) {
        case base::Kind::string:
            return expandString(std::static_pointer_cast<base::String>(value));
        case base::Kind::array:
        case base::Kind::dictionary:
            break;
        default:
            return value;
    }
    // A container reached more than once (a binary list may share them)
    // is expanded once.
    bool shared = value.use_count() > 1;
    if (shared) {
        auto found = sharedResults_.find(value.get());
        if (found != sharedResults_.end()) return found->second;
    }
    base::ObjectRef result =
        value->kind() == base::Kind::array
            ? base::ObjectRef(expandArray(std::static_pointer_cast<base::Array>(value)))
            : expandDictionary(std::static_pointer_cast<base::Dictionary>(value));
    if (shared) sharedResults_.emplace(value.get(), result);
    return result;
}

namespace {

// Counts container nesting while expanding.
class NestingGuard {
public:
    explicit NestingGuard(std::size_t& nesting) : nesting_(nesting) {
        if (++nesting_ > base::propertyListMaxDepth) {
            --nesting_;
            throw MacroExpansionError("containers nested deeper than " +
                                      std::to_string(base::propertyListMaxDepth) + " levels");
        }
    }
    ~NestingGuard() { --nesting_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    std::size_t& nesting_;
};

}  // namespace

base::Ref<base::Array> MacroExpander::expandArray(const base::Ref<base::Array>& array) {
    NestingGuard guard(nesting_);
    std::vector<base::ObjectRef> elements;
    for (std::size_t i = 0; i < array->count(); ++i) {
        base::ObjectRef expanded = expandElement(array->at(i), nullptr, i);
        if (elements.empty() && expanded == array->at(i)) continue;
        if (elements.empty()) {
            // The first change: copy what came before it.
            elements.reserve(array->count());
            elements.assign(array->begin(), array->begin() + static_cast<std::ptrdiff_t>(i));
        }
        elements.push_back(std::move(expanded));
    }
    // Unchanged: the receiver is immutable, so it serves as its own copy.
    if (elements.empty()) return array;
    return base::Array::make(std::move(elements));
}

base::Ref<base::Dictionary> MacroExpander::expandDictionary(
    const base::Ref<base::Dictionary>& dictionary) {
    NestingGuard guard(nesting_);
    std::vector<base::Dictionary::Entry> entries;
    const auto& original = dictionary->entries();
    for (std::size_t i = 0; i < original.size(); ++i) {
        base::ObjectRef expanded = expandElement(original[i].second, &original[i].first, i);
        if (entries.empty() && expanded == original[i].second) continue;
        if (entries.empty()) {
            entries.reserve(original.size());
            entries.assign(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(i));
        }
        entries.emplace_back(original[i].first, std::move(expanded));
    }
    if (entries.empty()) return dictionary;
    return base::Dictionary::make(std::move(entries));
}

base::ObjectRef MacroExpander::expandElement(const base::ObjectRef& value,
                                             const base::ObjectRef* key, std::size_t index) {
    auto notePlace = [&] {
        if (!key) {
            failurePlaces_.emplace_back(index);
        } else if (auto text = base::cast<base::String>(*key)) {
            failurePlaces_.emplace_back(text->text());
        } else {
            failurePlaces_.emplace_back((*key)->description());
        }
    };
    try {
        return expandValue(value);
    } catch (const base::InvalidArgumentException&) {
        notePlace();
        throw;
    } catch (const MacroExpansionError&) {
        notePlace();
        throw;
    }
}

KeyPath MacroExpander::failureKeyPath() const {
    return KeyPath({failurePlaces_.rbegin(), failurePlaces_.rend()});
}

}  // namespace macrofill
