#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace ostrevane {

// How deep the nested formats we read from outside (settings and application property
// lists, JSON chords, browser messages) may go, measured before any parser sees them.
// The parsers recurse once per level: libplist 2.2 overflows its stack on an XML
// property list some 50,000 levels deep, so such a file would crash the program at every
// start. Real files nest a handful of levels; the limit is far above that.
//
// Each measure is an upper bound of the depth the format's parser builds (a tag,
// bracket or reference the parser might not count as a level is counted anyway), so a
// text within the limit never nests deeper than the limit once parsed. Pure functions,
// safe on any thread.
namespace NestingLimits {

constexpr int maxDepth = 256;
// A binary property list may refer to one object from many places, and the parser
// copies it for each: a few hundred bytes can describe millions of values.
constexpr std::int64_t maxBinaryPropertyListValues = 1 << 18;

// The deepest nesting of JSON arrays and objects (strings skipped).
int jsonDepth(const QByteArray& json);
bool jsonWithinLimits(const QByteArray& json);

// The deepest nesting of XML elements (comments, processing instructions, declarations
// and character data skipped; an unterminated construct runs to the end).
int xmlDepth(const QByteArray& xml);

// A binary property list's depth (the top object counts 1) and the number of values it
// expands to; nothing when its tables do not hold together or an object contains itself.
struct BinaryShape {
    int depth = 0;
    std::int64_t values = 0;
};
std::optional<BinaryShape> binaryPropertyListShape(const QByteArray& bytes);

// Whether libplist reads `bytes` as a binary property list (else as XML).
bool isBinaryPropertyList(const QByteArray& bytes);
// Whether a property list, binary or XML, is within maxDepth (and, binary, within
// maxBinaryPropertyListValues and well formed enough to measure).
bool propertyListWithinLimits(const QByteArray& bytes);

} // namespace NestingLimits

} // namespace ostrevane
