#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace ostrevane {

// What the nested formats we read from outside (settings and application property
// lists, JSON chords, browser messages) may hold, measured before any parser sees them.
//
// Depth: the parsers recurse once per level; libplist 2.2 overflows its stack on an XML
// property list some 50,000 levels deep, so such a file would crash the program at every
// start. Real files nest a handful of levels; the limit is far above that. Each measure
// is an upper bound of the depth the format's parser builds (a tag, bracket or reference
// the parser might not count as a level is counted anyway), so a text within the limit
// never nests deeper than the limit once parsed.
//
// NUL characters: libplist 2.2 aborts (an assertion) when a string or key it parsed holds
// one, so property lists with such text are refused too.
//
// Pure functions, safe on any thread.
namespace InputLimits {

constexpr int maxDepth = 256;
// A binary property list may refer to one object from many places, and the parser
// copies it for each: a few hundred bytes can describe millions of values.
constexpr std::int64_t maxBinaryPropertyListValues = 1 << 18;

// The deepest nesting of JSON arrays and objects (strings skipped).
int jsonDepth(const QByteArray& json);
bool jsonWithinLimits(const QByteArray& json);

// The depth of the value libplist 2.2 reads from an XML property list (each dict or array
// a level, the values inside the deepest one more), read the way that reader reads it, up
// to where it stops.
int xmlDepth(const QByteArray& xml);
// Whether XML text could put a NUL character in a parsed string: a NUL byte, or a
// character reference ("&#...;") that is not a plain number from 1 to 0x10FFFF.
bool xmlMayHoldNul(const QByteArray& xml);

// A binary property list's depth (the top object counts 1) and the number of values it
// expands to; nothing when its tables do not hold together, an object contains itself or
// a string it refers to holds a NUL character.
struct BinaryShape {
    int depth = 0;
    std::int64_t values = 0;
};
std::optional<BinaryShape> binaryPropertyListShape(const QByteArray& bytes);

// Whether libplist reads `bytes` as a binary property list (else as XML).
bool isBinaryPropertyList(const QByteArray& bytes);
// Whether a property list, binary or XML, is within maxDepth, holds no NUL characters in
// its text (and, binary, is within maxBinaryPropertyListValues and well formed enough to
// measure).
bool propertyListWithinLimits(const QByteArray& bytes);

} // namespace InputLimits

} // namespace ostrevane
