#include "PropertyListExpansion.h"

#include <optional>

#include "Corral/plist/BinaryStringRewrite.h"
#include "Corral/plist/PropertyList.h"
#include "Corral/plist/PropertyListPipe.h"
#include "Corral/plist/PropertyListStream.h"
#include "ExpansionFilter.h"
#include "KeyCheck.h"
#include "MacroExpansionError.h"

namespace macrofill {

PropertyListExpansion PropertyListExpansion::failed(Outcome outcome, std::string reason,
                                                    KeyPath path) {
    PropertyListExpansion expansion;
    expansion.outcome = outcome;
    expansion.failure = std::move(reason);
    expansion.failurePath = std::move(path);
    return expansion;
}

PropertyListExpansion PropertyListExpansion::written(std::vector<std::uint8_t> bytes) {
    PropertyListExpansion expansion;
    expansion.bytes = std::move(bytes);
    return expansion;
}

namespace {

using Outcome = PropertyListExpansion::Outcome;

std::string reasonOf(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const base::Exception& error) {
        return error.reason();
    }
}

// Throws ExpansionFilter::DuplicateKey for a list only objects handle.
std::unique_ptr<base::PropertyListWriter> makeWriter(base::PropertyListFormat format,
                                                     std::size_t sizeHint,
                                                     base::PropertyListOutput* output) {
    return output ? base::makePropertyListWriter(format, *output, sizeHint)
                  : base::makePropertyListWriter(format, sizeHint);
}

PropertyListExpansion expandStreaming(std::span<const std::uint8_t> input, MacroExpander& expander,
                                      base::PropertyListOutput* output,
                                      const ExpansionThreads& threads) {
    auto format = base::propertyListFormatOf(input);
    std::unique_ptr<base::PropertyListWriter> writer;
    if (format != base::PropertyListFormat::openStep)
        writer = makeWriter(format, input.size() + input.size() / 4, output);
    // XML is read on a second thread: reading it costs more than checking
    // its keys, expanding and writing it, which this thread does. A binary
    // list is not: its writer takes most of the time, and a second thread
    // only added to the work.
    bool readAlong =
        format == base::PropertyListFormat::xml && input.size() >= threads.secondThreadFrom;
    ExpansionFilter filter(expander, writer.get(), input);
    try {
        if (readAlong) {
            base::pipePropertyList(
                input,
                [input](base::PropertyListSink& recorder) {
                    base::readPropertyList(input, recorder);
                },
                filter, threads.pipe);
        } else {
            base::readPropertyList(input, filter);
        }
    } catch (const base::PropertyListError&) {
        return PropertyListExpansion::failed(Outcome::invalidInput);
    }
    if (filter.expansionFailure())
        return PropertyListExpansion::failed(Outcome::expansionFailed,
                                             reasonOf(filter.expansionFailure()),
                                             filter.expansionFailurePath());
    if (!writer || !filter.hasResult() || filter.writeFailed())
        return PropertyListExpansion::failed(Outcome::notWritable);
    return PropertyListExpansion::written(writer->finish());
}

// Each stored string of a binary list expanded once, in place.
class ExpandingRewriter final : public base::BinaryStringRewriter {
public:
    explicit ExpandingRewriter(MacroExpander& expander) : expander_(expander) {}
    const std::string* rewrite(std::string_view text) override {
        return expander_.expandText(text);
    }

private:
    MacroExpander& expander_;
};

// A binary list rewritten object by object, or nothing when it needs the
// streaming pass: one that is refused, that gives a key twice, whose
// expansion fails (the streaming pass reports where), and the rest that
// rewriteBinaryPropertyListStrings leaves.
std::optional<PropertyListExpansion> expandBinaryInPlace(std::span<const std::uint8_t> input,
                                                         MacroExpander& expander,
                                                         base::PropertyListOutput* output,
                                                         const ExpansionThreads& threads) {
    ExpandingRewriter rewriter(expander);
    base::BinaryRewriteThreads rewriteThreads{threads.secondThreadFrom};
    try {
        if (output) {
            if (base::rewriteBinaryPropertyListStrings(input, *output, rewriter, rewriteThreads))
                return PropertyListExpansion::written({});
        } else if (auto bytes =
                       base::rewriteBinaryPropertyListStrings(input, rewriter, rewriteThreads)) {
            return PropertyListExpansion::written(std::move(*bytes));
        }
    } catch (const base::InvalidArgumentException&) {
    } catch (const MacroExpansionError&) {
    }
    return std::nullopt;
}

}  // namespace

PropertyListExpansion expandPropertyList(std::span<const std::uint8_t> input,
                                         const base::Dictionary& definitions,
                                         std::vector<base::ObjectRef>& keep,
                                         ExpansionOutput* output, const ExpansionThreads& threads) {
    MacroExpander expander(definitions);
    if (base::propertyListFormatOf(input) == base::PropertyListFormat::binary) {
        if (auto expansion = expandBinaryInPlace(input, expander, output, threads))
            return std::move(*expansion);
        if (output) output->restart();
    }
    try {
        return expandStreaming(input, expander, output, threads);
    } catch (const DuplicateKey&) {
        if (output) output->restart();
        return expandPropertyListObjects(input, expander, keep, output);
    }
}

PropertyListExpansion expandPropertyListObjects(std::span<const std::uint8_t> input,
                                                MacroExpander& expander,
                                                std::vector<base::ObjectRef>& keep,
                                                base::PropertyListOutput* output) {
    base::PropertyListReadResult list;
    try {
        list = base::readPropertyList(input);
    } catch (const base::PropertyListError&) {
        return PropertyListExpansion::failed(Outcome::invalidInput);
    }
    base::ObjectRef result;
    try {
        auto kind = list.root->kind();
        if (kind == base::Kind::dictionary || kind == base::Kind::array ||
            kind == base::Kind::string)
            result = expander.expandValue(list.root);
    } catch (const base::InvalidArgumentException& error) {
        return PropertyListExpansion::failed(Outcome::expansionFailed, error.reason(),
                                             expander.failureKeyPath());
    } catch (const MacroExpansionError& error) {
        return PropertyListExpansion::failed(Outcome::expansionFailed, error.reason(),
                                             expander.failureKeyPath());
    }
    keep.push_back(std::move(list.root));
    if (!result) return PropertyListExpansion::failed(Outcome::notWritable);
    keep.push_back(result);
    try {
        auto writer = makeWriter(list.format, input.size(), output);
        base::reportPropertyList(result, *writer);
        return PropertyListExpansion::written(writer->finish());
    } catch (const base::PropertyListError&) {
        return PropertyListExpansion::failed(Outcome::notWritable);
    }
}

}  // namespace macrofill
