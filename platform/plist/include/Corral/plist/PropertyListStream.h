#pragma once
// Property lists as a stream of values, for programs that transform large
// lists without holding them as objects. A reader reports each value to a
// sink in document order; a writer is a sink that serialises what it is
// given. readPropertyList and writePropertyList in base/PropertyList.h are
// built on these.
//
// The order of calls: a dictionary is beginDictionary, then key and one
// value for each entry, then endContainer; an array is beginArray, its
// elements, then endContainer. A reader checks the structure before it
// reports it, so a sink sees only well-formed sequences; a reader that
// fails part way has reported a prefix of the document.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "Corral/plist/PropertyList.h"

namespace base {

class PLIST_EXPORT PropertyListSink {
public:
    virtual ~PropertyListSink();

    virtual void beginDictionary() = 0;
    virtual void key(std::string_view text) = 0;
    virtual void beginArray() = 0;
    virtual void endContainer() = 0;

    virtual void string(std::string_view text) = 0;
    virtual void boolean(bool value) = 0;
    virtual void integer(std::int64_t value) = 0;
    // Integers above the signed 64-bit maximum.
    virtual void unsignedInteger(std::uint64_t value) = 0;
    virtual void real(double value) = 0;
    // Seconds since 2001-01-01 00:00:00 UTC.
    virtual void date(double seconds) = 0;
    virtual void data(std::span<const std::uint8_t> bytes) = 0;

    // A value that the input stores once and refers to from many places.
    // `read` is the same for every value of one reading of one input and
    // never shared with another reading in the process; `index` is the
    // value's place among the input's stored objects; `asKey` tells whether
    // it is reported as a dictionary key.
    struct StoredObject {
        std::uint64_t read = 0;
        std::uint64_t index = 0;
        bool asKey = false;
    };

    // Called by a reader before it reports, again, a value it has already
    // reported in full during the same reading (the same `read`, `index` and
    // `asKey` stand for the same value). A sink that can take the value as
    // the one it was given before returns true: the reader then reports
    // nothing more of it. Otherwise the value follows in full, as if this
    // had not been called, and a sink that keeps values by identity may
    // note that it comes from `object`. A sink that passes values on may
    // pass this on only for values it forwards as a function of the input
    // value alone. The default takes nothing by identity.
    virtual bool repeated(const StoredObject& object) {
        (void)object;
        return false;
    }
};

// A sink that passes every call on to another: the base of a sink that
// looks at some of them on the way. It passes repeated() on too; a sink
// that needs the text of every value says no instead.
class PLIST_EXPORT ForwardingSink : public PropertyListSink {
public:
    explicit ForwardingSink(PropertyListSink& next) : next_(next) {}
    ~ForwardingSink() override;

    void beginDictionary() override { next_.beginDictionary(); }
    void key(std::string_view text) override { next_.key(text); }
    void beginArray() override { next_.beginArray(); }
    void endContainer() override { next_.endContainer(); }
    void string(std::string_view text) override { next_.string(text); }
    void boolean(bool value) override { next_.boolean(value); }
    void integer(std::int64_t value) override { next_.integer(value); }
    void unsignedInteger(std::uint64_t value) override { next_.unsignedInteger(value); }
    void real(double value) override { next_.real(value); }
    void date(double seconds) override { next_.date(seconds); }
    void data(std::span<const std::uint8_t> bytes) override { next_.data(bytes); }
    bool repeated(const StoredObject& object) override { return next_.repeated(object); }

private:
    PropertyListSink& next_;
};

// Where a writer puts its bytes: a piece at a time, as they are produced.
class PLIST_EXPORT PropertyListOutput {
public:
    virtual ~PropertyListOutput();
    // Appends the next piece. An output that cannot keep it (a full disk)
    // remembers the failure itself: the writer goes on as if it had.
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
    // The `length` bytes written earlier at `offset`, for a writer that
    // compares new values with ones it has written. Empty when they cannot
    // be read back. Valid until the next call on the output.
    virtual std::span<const std::uint8_t> written(std::uint64_t offset, std::size_t length) = 0;
};

// A sink that serialises what it is given. Failures (what the format cannot
// hold, as for writePropertyList) are PropertyListErrors thrown by the call
// that meets them.
class PLIST_EXPORT PropertyListWriter : public PropertyListSink {
public:
    // Completes the document after the root value and hands the last bytes
    // to the output. A writer made without an output keeps the bytes itself
    // and returns them; one given an output returns nothing.
    virtual std::vector<std::uint8_t> finish() = 0;
};

// Detects the format of `bytes`, reports its root value to `sink` and
// returns the format. Throws PropertyListError as readPropertyList does;
// exceptions thrown by the sink pass through.
PLIST_EXPORT PropertyListFormat readPropertyList(std::span<const std::uint8_t> bytes,
                                                 PropertyListSink& sink);

// A writer for the XML or binary format that keeps the bytes and returns
// them from finish(); fails for the old text format. `sizeHint` is the
// expected size of the result.
PLIST_EXPORT std::unique_ptr<PropertyListWriter> makePropertyListWriter(PropertyListFormat format,
                                                                        std::size_t sizeHint = 0);
// The same, writing to `output` as it goes, with no more than a small
// buffer of the document in memory. `sizeHint` sizes its tables.
PLIST_EXPORT std::unique_ptr<PropertyListWriter> makePropertyListWriter(PropertyListFormat format,
                                                                        PropertyListOutput& output,
                                                                        std::size_t sizeHint = 0);

// Reports the values of `root` to `sink`. Fails as writePropertyList does
// for objects that have no property-list form.
PLIST_EXPORT void reportPropertyList(const ObjectRef& root, PropertyListSink& sink);

}  // namespace base
