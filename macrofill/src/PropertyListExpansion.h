#pragma once
// Expands a whole property list given as bytes: reads it, expands its
// strings and writes it in the format it came in, with the outcome the
// command reports.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Corral/plist/PropertyListPipe.h"
#include "Corral/plist/PropertyListStream.h"
#include "MacroExpander.h"

namespace macrofill {

struct PropertyListExpansion {
    enum class Outcome { expanded, invalidInput, expansionFailed, notWritable };
    Outcome outcome = Outcome::expanded;
    std::string failure;              // expansionFailed: the reason
    KeyPath failurePath;              // expansionFailed: where the string sits
    std::vector<std::uint8_t> bytes;  // expanded without an output: the list

    static PropertyListExpansion failed(Outcome outcome, std::string reason = {},
                                        KeyPath path = {});
    static PropertyListExpansion written(std::vector<std::uint8_t> bytes);
};

// Where an expansion writes its list as it goes. A list that the single
// pass cannot settle is written again from the start.
class ExpansionOutput : public base::PropertyListOutput {
public:
    // Forgets everything written so far.
    virtual void restart() = 0;
};

// How an expansion spreads its work: a large XML input is read on a thread
// of its own while the calling thread expands and writes; a large binary
// list is expanded and written on one while the calling thread checks it.
struct ExpansionThreads {
    // Inputs of at least this many bytes use the second thread.
    std::size_t secondThreadFrom = std::size_t{1} << 20;
    base::PropertyListPipeOptions pipe;
};

// In one pass, values streaming from the reader through the expansion to the
// writer, so that a large list is never held as objects; for the rare list
// that needs it (a dictionary giving a key twice) through objects. The
// objects read and made are left in `keep` (see runMacrofill). The list
// goes to `output` when there is one, else into the result's bytes; what is
// written before a failure is of no use.
PropertyListExpansion expandPropertyList(std::span<const std::uint8_t> input,
                                         const base::Dictionary& definitions,
                                         std::vector<base::ObjectRef>& keep,
                                         ExpansionOutput* output = nullptr,
                                         const ExpansionThreads& threads = {});

// Through objects only: read the whole list, expand it, write it. The
// reference the streaming pass is measured against.
PropertyListExpansion expandPropertyListObjects(std::span<const std::uint8_t> input,
                                                MacroExpander& expander,
                                                std::vector<base::ObjectRef>& keep,
                                                base::PropertyListOutput* output = nullptr);

}  // namespace macrofill
