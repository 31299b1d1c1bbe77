#include "Corral/plist/BinaryStringRewrite.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "BinaryObjects.h"
#include "Corral/base/LargeMemory.h"
#include "OutputBuffer.h"
#include "PropertyListCodec.h"
#include "Unicode.h"

namespace base {

BinaryStringRewriter::~BinaryStringRewriter() = default;

namespace plist {

namespace {

// An object's marker decoded, its checks made: where its payload starts,
// its count (bytes, UTF-16 units, elements or entries) and where it ends.
struct Head {
    std::uint64_t offset = 0;
    std::uint8_t type = 0;
    std::uint8_t info = 0;
    std::uint64_t payload = 0;
    std::uint64_t count = 0;
    std::uint64_t end = 0;
    bool container() const { return type == 0xA || type == 0xD; }
    bool string() const { return type == 0x5 || type == 0x6; }
};

// The rewrite takes lists whose containers all come after their children
// (as a writer that starts from the leaves lays them out) or all before
// them (as one that starts from the root does). Then one pass over the
// object table, from the children's side, checks the whole list without
// following any reference twice: each object is checked, and each
// container measured and its keys compared, when its children have been.
// A list laid out any other way is left to the reader.
class BinaryStringRewrite {
public:
    BinaryStringRewrite(std::span<const std::uint8_t> bytes, BinaryStringRewriter& rewriter)
        : objects_(bytes), rewriter_(rewriter), count_(objects_.objectCount()) {}

    // Fails (PropertyListError) where the reader would, and returns false
    // for the other lists that are not rewritten here.
    bool check() {
        const std::uint64_t root = objects_.rootIndex();
        if (root == count_ - 1) {
            childrenFirst_ = true;
        } else if (root == 0) {
            childrenFirst_ = false;
        } else {
            return false;
        }
        Head rootHead = head(root);
        if (!rootHead.container() && !rootHead.string()) return false;
        const std::uint64_t cap = binaryExpansionAllowance(objects_.bytes().size()) + 1;
        if (cap > measureMask) return false;
        state_.assign(count_, 0);
        notes_.assign(count_, 0);
        for (std::uint64_t step = 0; step < count_; ++step) {
            std::uint64_t index = childrenFirst_ ? step : count_ - 1 - step;
            Head object = head(index);
            if (!object.container()) {
                checkScalar(index, object);
            } else if (!measureContainer(index, object, cap)) {
                return false;
            }
        }
        // measureContainer() has refused any nesting past the limit.
        if (measureOf(root) >= cap) return false;
        // With every reference pointing one way, an object that the root
        // does not lead to is one that nothing refers to, or that only such
        // objects refer to; the last of those met has no referrer at all.
        // So the root leads to everything when everything else has one.
        state_[root] |= asValue;
        return std::all_of(state_.begin(), state_.end(),
                           [](std::uint8_t state) { return state & (asKey | asValue); });
    }

    // After check(): writes the list, objects in the order of their indexes.
    bool write(PropertyListOutput& output) {
        releaseCheckTables();
        return writeList<false>(output, InPlace{*this}, nullptr);
    }

    // check() on this thread while the list is written on a second one, as
    // if every string stood as a value; then whether what was written stands.
    bool checkWhileWriting(PropertyListOutput& output) {
        std::atomic<bool> stop{false};
        bool written = false;
        std::exception_ptr writeFailure;
        std::thread writer;
        try {
            writer = std::thread([&] {
                try {
                    written = writeList<true>(output, Ahead{*this}, &stop);
                } catch (...) {
                    writeFailure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            return check() && write(output);  // no second thread to be had
        }
        bool checked = false;
        try {
            checked = check();
        } catch (...) {
            stop = true;
            writer.join();
            throw;
        }
        if (!checked) stop = true;
        releaseCheckTables();
        writer.join();
        if (!checked) return false;
        if (writeFailure) std::rethrow_exception(writeFailure);
        return written && settleAhead();
    }

private:
    // State bits of an object.
    static constexpr std::uint8_t isString = 1;
    static constexpr std::uint8_t isContainer = 2;
    static constexpr std::uint8_t asKey = 4;    // some dictionary has it as a key
    static constexpr std::uint8_t asValue = 8;  // it stands as a value somewhere
    static constexpr int measureBits = 40;
    static constexpr std::uint64_t measureMask = (std::uint64_t{1} << measureBits) - 1;
    static constexpr std::uint32_t noKey = (std::uint32_t{1} << (64 - measureBits)) - 1;
    // Past this many distinct key texts a list is left to the reader, so
    // that the table of them stays small.
    static constexpr std::size_t maxKeyTexts = std::size_t{1} << 20;
    static_assert(maxKeyTexts < noKey);

    std::uint64_t measureOf(std::uint64_t index) const { return notes_[index] & measureMask; }
    std::uint32_t extraOf(std::uint64_t index) const {
        return static_cast<std::uint32_t>(notes_[index] >> measureBits);
    }
    std::uint32_t heightOf(std::uint64_t index) const { return extraOf(index); }
    void setKeyId(std::uint64_t index, std::uint32_t id) {
        notes_[index] = (notes_[index] & measureMask) | std::uint64_t{id} << measureBits;
    }

    // Offsets of the objects written, in index order and so increasing:
    // the low 32 bits of each, and the indexes at which the high bits step.
    class WrittenOffsets {
    public:
        void reserve(std::uint64_t count) { low_.reserve(static_cast<std::size_t>(count)); }
        void push(std::uint64_t offset) {
            for (; (offset >> 32) > high_; ++high_) steps_.push_back(low_.size());
            low_.push_back(static_cast<std::uint32_t>(offset));
        }
        template <class Visit>
        void forEach(Visit visit) const {
            std::uint64_t high = 0;
            std::size_t step = 0;
            for (std::size_t i = 0; i < low_.size(); ++i) {
                for (; step < steps_.size() && steps_[step] == i; ++step) ++high;
                visit(high << 32 | low_[i]);
            }
        }

    private:
        std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> low_;
        std::vector<std::size_t> steps_;
        std::uint64_t high_ = 0;
    };

    // Which strings the write after check() rewrites: those that stand as
    // values; one that is a key too must not change.
    struct InPlace {
        BinaryStringRewrite& self;
        // The new text of string object `index`, or null. Sets `abandon` to
        // end the write without a list.
        const std::string* replacement(std::uint64_t index, const Head& h, bool& abandon) {
            std::uint8_t state = self.state_[index];
            if ((state & (isString | asValue)) != (isString | asValue)) return nullptr;
            const std::string* changed = self.rewriter_.rewrite(self.textOf(h, self.writeText_));
            if (changed && (state & asKey)) abandon = true;
            return changed;
        }
        // A new text that no string object can hold: false ends the write.
        bool unstorable(std::uint64_t) { return false; }
    };

    // The write alongside check(): every string is rewritten, and what is
    // noted of it settled once the check has said how it stands.
    struct Ahead {
        BinaryStringRewrite& self;
        const std::string* replacement(std::uint64_t index, const Head& h, bool&) {
            std::string_view text = self.textOf(h, self.writeText_);
            try {
                const std::string* changed = self.rewriter_.rewrite(text);
                if (changed) self.changedAhead_.push_back(index);
                return changed;
            } catch (...) {
                self.incidents_.push_back({index, std::current_exception()});
                return nullptr;
            }
        }
        // Written as it was, which is right if it is only a key.
        bool unstorable(std::uint64_t index) {
            self.changedAhead_.pop_back();  // it was the last one changed
            self.incidents_.push_back({index, nullptr});
            return true;
        }
    };

    // A string of the write ahead whose rewrite threw (`failure`) or gave
    // a text no string object can hold (null).
    struct Incident {
        std::uint64_t index;
        std::exception_ptr failure;
    };

    // Writes the objects in index order, each string as `strings` says,
    // then the offset table and the trailer. `checked`: the objects have
    // not been checked yet, and are as they are read; `stop`, when set,
    // ends the write early.
    template <bool checked, class Strings>
    bool writeList(PropertyListOutput& output, Strings strings, const std::atomic<bool>* stop) {
        OutputBuffer out(output);
        out.put(binaryHeader);
        WrittenOffsets offsets;
        offsets.reserve(count_);
        std::uint64_t runStart = 0, runEnd = 0;  // input bytes still to be copied
        auto copyRun = [&] {
            out.put(objects_.bytes().data() + runStart,
                    static_cast<std::size_t>(runEnd - runStart));
            runStart = runEnd = 0;
        };
        for (std::uint64_t index = 0; index < count_; ++index) {
            if (stop && index % 4096 == 0 && stop->load(std::memory_order_relaxed)) return false;
            Head object = checked ? head(index) : checkedHead(index);
            offsets.push(out.size() + (runEnd - runStart));
            if (object.string()) {
                bool abandon = false;
                const std::string* changed = strings.replacement(index, object, abandon);
                if (abandon) return false;
                if (changed) {
                    if (runEnd > runStart) copyRun();
                    if (putString(out, *changed)) continue;
                    if (!strings.unstorable(index)) return false;
                }
            }
            if (runEnd > runStart && object.offset != runEnd) copyRun();
            if (runEnd == runStart) runStart = object.offset;
            runEnd = object.end;
        }
        if (runEnd > runStart) copyRun();

        std::uint64_t tableOffset = out.size();
        std::uint8_t offsetWidth = std::max(widthFor(tableOffset), widthFor(count_ - 1));
        offsets.forEach([&](std::uint64_t offset) { putBigEndian(out, offset, offsetWidth); });
        std::uint8_t trailer[8] = {
            0, 0, 0, 0, 0, 0, offsetWidth, static_cast<std::uint8_t>(objects_.referenceWidth())};
        out.put(trailer, sizeof trailer);
        putBigEndian(out, count_, 8);
        putBigEndian(out, objects_.rootIndex(), 8);
        putBigEndian(out, tableOffset, 8);
        out.flush();
        return true;
    }

    // After check() and the write ahead: true when the list written ahead
    // is the one the write after check() gives. Met in index order, as that
    // write meets them: a string that changed but is a key (alone, it should
    // have stayed; as a value too, the list is not rewritten), and a string
    // that stands as a value whose rewrite threw (the exception passes on)
    // or cannot be stored.
    bool settleAhead() {
        constexpr std::uint64_t none = UINT64_MAX;
        std::size_t changed = 0, incident = 0;
        for (;;) {
            std::uint64_t nextChanged =
                changed < changedAhead_.size() ? changedAhead_[changed] : none;
            std::uint64_t nextIncident =
                incident < incidents_.size() ? incidents_[incident].index : none;
            if (nextChanged == none && nextIncident == none) return true;
            if (nextChanged < nextIncident) {
                ++changed;
                if (state_[nextChanged] & asKey) return false;
                continue;
            }
            const Incident& met = incidents_[incident++];
            if (!(state_[nextIncident] & asValue)) continue;
            if (met.failure) std::rethrow_exception(met.failure);
            return false;
        }
    }

    // What only check() needs.
    void releaseCheckTables() {
        decltype(notes_)().swap(notes_);
        std::vector<KeySlot>().swap(keySlots_);
        std::vector<std::string_view>().swap(keyTexts_);
        std::deque<std::string>().swap(ownedKeys_);
        std::vector<std::uint64_t>().swap(keyStamps_);
    }

    // The marker of object `index`, checked as the reader checks it before
    // it looks at the payload.
    Head head(std::uint64_t index) const {
        Head h;
        std::uint64_t offset = objects_.offsetOf(index);
        h.offset = offset;
        std::uint8_t marker = *objects_.take(offset, 1);
        h.type = marker >> 4;
        h.info = marker & 0xF;
        ++offset;
        switch (h.type) {
            case 0x0:
                if (h.info != 0x8 && h.info != 0x9) invalid("unsupported object type");
                h.end = offset;
                return h;
            case 0x1:
                if (h.info > 4) invalid("an integer has an unsupported size");
                return sized(h, offset, std::uint64_t{1} << h.info);
            case 0x2:
            case 0x3:
                if (h.info != 2 && h.info != 3) invalid("a real or date has an unsupported size");
                if (h.type == 0x3 && h.info != 3) invalid("a date has an unsupported size");
                return sized(h, offset, std::uint64_t{1} << h.info);
            case 0x4:
            case 0x5:
                h.count = objects_.count(h.info, offset);
                return sized(h, offset, h.count);
            case 0x6:
                h.count = objects_.count(h.info, offset);
                if (h.count > objects_.tableOffset() / 2)
                    invalid("an object runs past the object area");
                return sized(h, offset, h.count * 2);
            case 0xA:
            case 0xD: {
                h.count = objects_.count(h.info, offset);
                std::uint64_t references = h.count;
                if (h.type == 0xD) {
                    if (h.count > objects_.tableOffset() / 2)
                        invalid("an object runs past the object area");
                    references *= 2;
                }
                objects_.references(references, offset);
                h.payload = offset;
                h.end = offset + references * objects_.referenceWidth();
                return h;
            }
            default:
                invalid("unsupported object type");
        }
    }

    // The head of an object that head() has checked: the same, without the
    // checks.
    Head checkedHead(std::uint64_t index) const {
        Head h;
        const std::uint8_t* bytes = objects_.bytes().data();
        h.offset = objects_.checkedOffsetOf(index);
        std::uint8_t marker = bytes[h.offset];
        h.type = marker >> 4;
        h.info = marker & 0xF;
        std::uint64_t offset = h.offset + 1;
        std::uint64_t unit = 1;
        switch (h.type) {
            case 0x0:
                h.end = offset;
                return h;
            case 0x1:
            case 0x2:
            case 0x3:
                h.payload = offset;
                h.end = offset + (std::uint64_t{1} << h.info);
                return h;
            case 0x6:
                unit = 2;
                break;
            case 0xA:
                unit = objects_.referenceWidth();
                break;
            case 0xD:
                unit = 2 * objects_.referenceWidth();
                break;
            default:
                break;
        }
        h.count = h.info;
        if (h.info == 0xF) {
            std::uint64_t width = std::uint64_t{1} << (bytes[offset] & 0xF);
            h.count = readBigEndian(bytes + offset + 1, width);
            offset += 1 + width;
        }
        h.payload = offset;
        h.end = offset + h.count * unit;
        return h;
    }

    Head sized(Head h, std::uint64_t offset, std::uint64_t length) const {
        objects_.take(offset, length);
        h.payload = offset;
        h.end = offset + length;
        return h;
    }

    // The text of a checked string object, as UTF-8, in `buffer` if it is
    // not ASCII. The check and the write ahead each have a buffer.
    std::string_view textOf(const Head& h, std::string& buffer) const {
        const std::uint8_t* p = objects_.bytes().data() + h.payload;
        if (h.type == 0x5)
            return {reinterpret_cast<const char*>(p), static_cast<std::size_t>(h.count)};
        buffer.clear();
        if (!unicode::appendUtf16BigEndianAsUtf8(buffer, p, static_cast<std::size_t>(h.count)))
            invalid("a string is not valid UTF-16");
        return buffer;
    }

    // Checks a scalar's payload and notes its measure: what the reader
    // charges for it at each place it stands.
    void checkScalar(std::uint64_t index, const Head& h) {
        std::uint64_t measure = binaryNodeCost;
        std::uint32_t extra = 0;
        const std::uint8_t* p = objects_.bytes().data() + h.payload;
        switch (h.type) {
            case 0x1:
                if (h.info == 4) {
                    std::uint64_t high = readBigEndian(p, 8);
                    if (high != 0 &&
                        (high != ~std::uint64_t{0} || !(readBigEndian(p + 8, 8) >> 63)))
                        invalid("an integer does not fit in 64 bits");
                }
                break;
            case 0x4:
                measure += h.count;
                break;
            case 0x5:
                measure += h.count;
                if (!unicode::isAscii(textOf(h, checkText_)))
                    invalid("an ASCII string holds a non-ASCII byte");
                state_[index] |= isString;
                extra = noKey;
                break;
            case 0x6:
                measure += h.count * 3;
                textOf(h, checkText_);
                state_[index] |= isString;
                extra = noKey;
                break;
            default:
                break;
        }
        notes_[index] = measure | std::uint64_t{extra} << measureBits;
    }

    // Whether `child` has been met before `parent` in the first pass.
    bool before(std::uint64_t child, std::uint64_t parent) const {
        return childrenFirst_ ? child < parent : child > parent;
    }

    // Measures a container from its children, which have been measured,
    // notes how they stand in it, and checks that its keys are strings of
    // different texts. False for a child not met yet, for a key given twice
    // and for nesting beyond the limit.
    bool measureContainer(std::uint64_t index, const Head& h, std::uint64_t cap) {
        const std::uint8_t* refs = objects_.bytes().data() + h.payload;
        std::uint64_t measure = binaryNodeCost;
        std::uint32_t height = 1;
        std::uint64_t first = 0, references = h.count;
        if (h.type == 0xD) {
            ++stamp_;
            for (std::uint64_t i = 0; i < h.count; ++i) {
                std::uint64_t key = objects_.reference(refs, i);
                if (!before(key, index)) return false;
                if (!(state_[key] & isString)) invalid("a dictionary key is not a string");
                std::uint32_t id = extraOf(key);
                if (id == noKey && !newKeyId(key, id)) return false;
                if (keyStamps_[id] == stamp_) return false;
                keyStamps_[id] = stamp_;
                state_[key] |= asKey;
                measure = std::min(measure + measureOf(key), cap);
            }
            first = h.count;
            references = 2 * h.count;
        }
        for (std::uint64_t i = first; i < references; ++i) {
            std::uint64_t child = objects_.reference(refs, i);
            if (!before(child, index)) return false;
            std::uint8_t state = state_[child];
            state_[child] = state | asValue;
            measure = std::min(measure + measureOf(child), cap);
            if ((state & isContainer) && heightOf(child) >= height) height = heightOf(child) + 1;
        }
        if (height > propertyListMaxDepth) return false;
        state_[index] |= isContainer;
        notes_[index] = measure | std::uint64_t{height} << measureBits;
        return true;
    }

    // Gives key object `index`, a string, the number standing for its text:
    // two keys with the same text have the same number. False when there are
    // too many different texts.
    bool newKeyId(std::uint64_t index, std::uint32_t& id) {
        Head h = checkedHead(index);
        std::string_view text = textOf(h, checkText_);
        auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
        if (2 * (keyStamps_.size() + 1) > keySlots_.size()) {
            if (keyStamps_.size() >= maxKeyTexts) return false;
            growKeySlots();
        }
        std::size_t mask = keySlots_.size() - 1;
        std::size_t slot = hash & mask;
        for (; keySlots_[slot].id != noKey; slot = (slot + 1) & mask) {
            const KeySlot& entry = keySlots_[slot];
            if (entry.hash == hash && keyTexts_[entry.id] == text) {
                setKeyId(index, id = entry.id);
                return true;
            }
        }
        if (h.type == 0x6) text = ownedKeys_.emplace_back(text);
        id = static_cast<std::uint32_t>(keyStamps_.size());
        setKeyId(index, id);
        keySlots_[slot] = {hash, id};
        keyTexts_.push_back(text);
        keyStamps_.push_back(0);
        return true;
    }

    void growKeySlots() {
        std::vector<KeySlot> old(std::max<std::size_t>(64, 2 * keySlots_.size()));
        old.swap(keySlots_);
        std::size_t mask = keySlots_.size() - 1;
        for (const KeySlot& entry : old) {
            if (entry.id == noKey) continue;
            std::size_t slot = entry.hash & mask;
            while (keySlots_[slot].id != noKey) slot = (slot + 1) & mask;
            keySlots_[slot] = entry;
        }
    }

    static void putBigEndian(OutputBuffer& out, std::uint64_t value, std::size_t width) {
        if (char* at = out.claim(width)) {
            for (std::size_t i = 0; i < width; ++i)
                at[i] = static_cast<char>(value >> (8 * (width - 1 - i)));
            return;
        }
        for (std::size_t i = width; i-- > 0;) out.put(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    // Writes `text` as a string object, as the binary writer does: ASCII as
    // it is, anything else as UTF-16. False for text that is not UTF-8.
    bool putString(OutputBuffer& out, std::string_view text) {
        auto marker = [&out](std::uint8_t type, std::uint64_t count) {
            if (count < 15) return out.put(static_cast<std::uint8_t>(type << 4 | count));
            out.put(static_cast<std::uint8_t>(type << 4 | 0xF));
            std::uint8_t width = widthFor(count);
            std::uint8_t info = width == 1 ? 0 : width == 2 ? 1 : width <= 4 ? 2 : 3;
            out.put(static_cast<std::uint8_t>(0x10 | info));
            putBigEndian(out, count, std::size_t{1} << info);
        };
        if (unicode::isAscii(text)) {
            marker(0x5, text.size());
            out.put(text);
            return true;
        }
        if (!unicode::isValidUtf8(text)) return false;
        utf16_.clear();
        std::size_t units = unicode::appendUtf8AsUtf16BigEndian(utf16_, text);
        marker(0x6, units);
        out.put(utf16_);
        return true;
    }

    BinaryObjects objects_;
    BinaryStringRewriter& rewriter_;
    std::uint64_t count_;
    std::vector<std::uint8_t, LargeAllocator<std::uint8_t>> state_;
    // By object, for check(): its measure, what the reader charges for it
    // at each place it stands, in the low measureBits; above them, for a
    // container its height (the containers nested in it, itself included),
    // for a string the number standing for its text as a key, or noKey.
    std::vector<std::uint64_t, LargeAllocator<std::uint64_t>> notes_;
    bool childrenFirst_ = true;
    // The texts of the keys met, by number, in an open-addressing table at
    // most half full; ASCII texts are views of the input.
    struct KeySlot {
        std::uint32_t hash = 0;
        std::uint32_t id = noKey;
    };
    std::vector<KeySlot> keySlots_;
    std::vector<std::string_view> keyTexts_;
    std::deque<std::string> ownedKeys_;  // texts of UTF-16 keys
    std::vector<std::uint64_t> keyStamps_;
    std::uint64_t stamp_ = 0;
    std::string checkText_;  // for check() alone
    // For the write alone.
    std::string writeText_;
    std::string utf16_;
    // Of the write alongside check(), its own until the two are done: the
    // strings it changed and its incidents, each in index order; no string
    // is both.
    std::vector<std::uint64_t> changedAhead_;
    std::vector<Incident> incidents_;
};

}  // namespace

}  // namespace plist

bool rewriteBinaryPropertyListStrings(std::span<const std::uint8_t> bytes,
                                      PropertyListOutput& output, BinaryStringRewriter& rewriter,
                                      const BinaryRewriteThreads& threads) {
    try {
        plist::BinaryStringRewrite rewrite(bytes, rewriter);
        if (bytes.size() >= threads.writeAlongFrom) return rewrite.checkWhileWriting(output);
        return rewrite.check() && rewrite.write(output);
    } catch (const PropertyListError&) {
        return false;
    }
}

std::optional<std::vector<std::uint8_t>> rewriteBinaryPropertyListStrings(
    std::span<const std::uint8_t> bytes, BinaryStringRewriter& rewriter,
    const BinaryRewriteThreads& threads) {
    plist::MemoryOutput output(bytes.size());
    if (!rewriteBinaryPropertyListStrings(bytes, output, rewriter, threads)) return std::nullopt;
    return output.take();
}

}  // namespace base
