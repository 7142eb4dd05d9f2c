#include "core/shell/InputLimits.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

namespace ostrevane::InputLimits {

namespace {

// ---- XML

// Where the construct that begins at `from` and ends with `terminator` ends (the end of
// the text when it never does).
const char* skipPast(const char* from, const char* end, std::string_view terminator)
{
    const std::string_view rest(from, static_cast<size_t>(end - from));
    const size_t found = rest.find(terminator);
    return found == std::string_view::npos ? end : from + found + terminator.size();
}

bool startsWith(const char* at, const char* end, std::string_view prefix)
{
    return static_cast<size_t>(end - at) >= prefix.size() && std::memcmp(at, prefix.data(), prefix.size()) == 0;
}

// ---- Binary property lists (bplist00: objects, an offset table, a 32-byte trailer)

constexpr std::string_view binaryMagic = "bplist00";
constexpr qsizetype trailerSize = 32;

class BinaryTables {
public:
    explicit BinaryTables(const QByteArray& bytes)
        : m_data(reinterpret_cast<const unsigned char*>(bytes.constData()))
        , m_size(bytes.size())
    {
    }

    // Reads the trailer; false when its sizes and positions do not fit the data.
    bool open()
    {
        if (m_size < qsizetype(binaryMagic.size()) + trailerSize)
            return false;
        const qsizetype trailer = m_size - trailerSize;
        m_offsetSize = m_data[trailer + 6];
        m_refSize = m_data[trailer + 7];
        const auto count = number(trailer + 8, 8);
        const auto top = number(trailer + 16, 8);
        const auto table = number(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8 || !count || !top || !table)
            return false;
        if (*count < 1 || *top >= *count || *table >= quint64(trailer)
            || *count > (quint64(trailer) - *table) / m_offsetSize)
            return false;
        m_count = qsizetype(*count);
        m_top = qsizetype(*top);
        m_table = qsizetype(*table);
        return true;
    }

    qsizetype count() const { return m_count; }
    qsizetype top() const { return m_top; }

    // The objects a container refers to (none for other objects); false when they lie
    // outside the data or name objects that do not exist, or when a text holds a NUL.
    bool references(qsizetype index, std::vector<qsizetype>& out) const
    {
        out.clear();
        const auto offset = number(m_table + index * m_offsetSize, m_offsetSize);
        if (!offset || *offset >= quint64(m_size))
            return false;
        const qsizetype at = qsizetype(*offset);
        const unsigned char marker = m_data[at];
        const int type = marker >> 4;
        qsizetype first = at + 1;
        std::optional<quint64> entries = marker & 0x0F;
        if (*entries == 0x0F && (isText(type) || isContainer(type)))
            entries = extendedCount(at + 1, first);
        if (isText(type))
            return entries && textWithoutNul(first, *entries, type == utf16Text ? 2 : 1);
        if (!isContainer(type))
            return true;
        const quint64 refs = type == 0xD && entries ? *entries * 2 : entries.value_or(0);
        if (!entries || refs < *entries || first > m_size || refs > quint64(m_size - first) / m_refSize)
            return false;
        out.reserve(refs);
        for (quint64 i = 0; i < refs; ++i) {
            const auto ref = number(first + qsizetype(i) * m_refSize, m_refSize);
            if (!ref || *ref >= quint64(m_count))
                return false;
            out.push_back(qsizetype(*ref));
        }
        return true;
    }

private:
    // Object types (the marker's high half): text in single bytes (ASCII, or UTF-8 in
    // newer writers) or in UTF-16; arrays, ordered sets, sets and dictionaries.
    static constexpr int byteText = 0x5;
    static constexpr int utf16Text = 0x6;
    static constexpr int utf8Text = 0x7;
    static bool isText(int type) { return type == byteText || type == utf16Text || type == utf8Text; }
    static bool isContainer(int type) { return type >= 0xA && type <= 0xD; }

    // Whether `count` characters of `width` bytes at `at` lie in the data and none is NUL.
    bool textWithoutNul(qsizetype at, quint64 count, int width) const
    {
        if (at > m_size || count > quint64(m_size - at) / quint64(width))
            return false;
        for (qsizetype i = 0; i < qsizetype(count); ++i) {
            const unsigned char* character = m_data + at + i * width;
            if (character[0] == 0 && (width == 1 || character[1] == 0))
                return false;
        }
        return true;
    }

    // A big-endian unsigned number of `width` bytes at `at`.
    std::optional<quint64> number(qsizetype at, int width) const
    {
        if (at < 0 || width > 8 || at > m_size - width)
            return std::nullopt;
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | m_data[at + i];
        return value;
    }

    // A count too large for the marker: an integer object (0x1N, 2^N bytes) follows it.
    std::optional<quint64> extendedCount(qsizetype at, qsizetype& first) const
    {
        if (at >= m_size || (m_data[at] >> 4) != 0x1 || (m_data[at] & 0x0F) > 3)
            return std::nullopt;
        const int width = 1 << (m_data[at] & 0x0F);
        first = at + 1 + width;
        return number(at + 1, width);
    }

    const unsigned char* m_data;
    qsizetype m_size;
    int m_offsetSize = 0;
    int m_refSize = 0;
    qsizetype m_count = 0;
    qsizetype m_top = 0;
    qsizetype m_table = 0;
};

// Depth-first over the objects, each measured once: a shared object's depth and value
// count are the same wherever it is referred to. Stops as soon as either limit is passed.
class BinaryWalk {
public:
    explicit BinaryWalk(const BinaryTables& tables)
        : m_tables(tables)
        , m_state(size_t(tables.count()), State::unseen)
        , m_shape(size_t(tables.count()))
    {
    }

    std::optional<BinaryShape> run()
    {
        if (!enter(m_tables.top()))
            return std::nullopt;
        while (!m_stack.empty()) {
            Frame& frame = m_stack.back();
            if (frame.next == frame.children.size()) {
                if (!leave())
                    return m_passed;
                continue;
            }
            const qsizetype child = frame.children[frame.next++];
            if (m_state[size_t(child)] == State::open)
                return std::nullopt; // contains itself
            if (m_state[size_t(child)] == State::measured)
                add(frame, m_shape[size_t(child)]);
            else if (!enter(child))
                return m_passed ? m_passed : std::nullopt;
        }
        return m_shape[size_t(m_tables.top())];
    }

private:
    enum class State : unsigned char { unseen, open, measured };
    struct Frame {
        qsizetype index;
        std::vector<qsizetype> children;
        size_t next = 0;
        BinaryShape below; // the deepest child and the values of all children so far
    };

    bool enter(qsizetype index)
    {
        if (m_stack.size() >= size_t(maxDepth)) {
            m_passed = BinaryShape{maxDepth + 1, 0};
            return false;
        }
        Frame frame{index, {}, 0, {}};
        if (!m_tables.references(index, frame.children))
            return false;
        m_state[size_t(index)] = State::open;
        m_stack.push_back(std::move(frame));
        return true;
    }

    // Measures the finished object and adds it to its container's figures.
    bool leave()
    {
        const Frame& frame = m_stack.back();
        const BinaryShape shape{frame.below.depth + 1, frame.below.values + 1};
        m_shape[size_t(frame.index)] = shape;
        m_state[size_t(frame.index)] = State::measured;
        m_stack.pop_back();
        if (shape.values > maxBinaryPropertyListValues) {
            m_passed = BinaryShape{shape.depth, shape.values};
            return false;
        }
        if (!m_stack.empty())
            add(m_stack.back(), shape);
        return true;
    }

    static void add(Frame& frame, const BinaryShape& child)
    {
        frame.below.depth = std::max(frame.below.depth, child.depth);
        // Saturates: anything past the limit is refused anyway.
        frame.below.values = std::min(frame.below.values + child.values, maxBinaryPropertyListValues + 1);
    }

    const BinaryTables& m_tables;
    std::vector<State> m_state;
    std::vector<BinaryShape> m_shape;
    std::vector<Frame> m_stack;
    std::optional<BinaryShape> m_passed; // a limit was passed: the figures so far
};

} // namespace

int jsonDepth(const QByteArray& json)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i; // the escaped character cannot end the string
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

bool jsonWithinLimits(const QByteArray& json) { return jsonDepth(json) <= maxDepth; }

int xmlDepth(const QByteArray& xml)
{
    int depth = 0;
    int deepest = 0;
    const char* at = xml.constData();
    const char* const end = at + xml.size();
    while ((at = std::find(at, end, '<')) != end) {
        if (startsWith(at, end, "<!--")) {
            at = skipPast(at, end, "-->");
        } else if (startsWith(at, end, "<![CDATA[")) {
            at = skipPast(at, end, "]]>");
        } else if (startsWith(at, end, "<?")) {
            at = skipPast(at, end, "?>");
        } else if (startsWith(at, end, "<!")) {
            at = skipPast(at, end, ">");
        } else if (startsWith(at, end, "</")) {
            depth = std::max(depth - 1, 0); // a stray end tag never lowers the count below zero
            at = skipPast(at, end, ">");
        } else {
            const char* close = skipPast(at, end, ">");
            // Only "/>" right before the '>' closes an element at once.
            const bool empty = close - at >= 3 && close[-1] == '>' && close[-2] == '/';
            if (!empty)
                deepest = std::max(deepest, ++depth);
            at = close;
        }
    }
    return deepest;
}

bool xmlMayHoldNul(const QByteArray& xml)
{
    if (xml.contains('\0'))
        return true;
    for (qsizetype at = xml.indexOf("&#"); at >= 0; at = xml.indexOf("&#", at + 2)) {
        const qsizetype end = xml.indexOf(';', at);
        if (end < 0)
            return true; // unterminated: what the parser makes of it is unknown
        QByteArray digits = xml.mid(at + 2, end - at - 2);
        int base = 10;
        if (digits.startsWith('x') || digits.startsWith('X')) {
            digits.remove(0, 1);
            base = 16;
        }
        const bool plain = !digits.isEmpty() && digits.size() <= 8
            && std::all_of(digits.cbegin(), digits.cend(), [base](char c) {
                   return std::isdigit(static_cast<unsigned char>(c)) || (base == 16 && std::isxdigit(static_cast<unsigned char>(c)));
               });
        const ulong value = plain ? digits.toULong(nullptr, base) : 0;
        if (value < 1 || value > 0x10FFFF)
            return true;
    }
    return false;
}

std::optional<BinaryShape> binaryPropertyListShape(const QByteArray& bytes)
{
    if (!isBinaryPropertyList(bytes))
        return std::nullopt;
    BinaryTables tables(bytes);
    if (!tables.open())
        return std::nullopt;
    return BinaryWalk(tables).run();
}

bool isBinaryPropertyList(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArray::fromRawData(binaryMagic.data(), qsizetype(binaryMagic.size())));
}

bool propertyListWithinLimits(const QByteArray& bytes)
{
    if (!isBinaryPropertyList(bytes))
        return xmlDepth(bytes) <= maxDepth && !xmlMayHoldNul(bytes);
    const std::optional<BinaryShape> shape = binaryPropertyListShape(bytes);
    return shape && shape->depth <= maxDepth && shape->values <= maxBinaryPropertyListValues;
}

} // namespace ostrevane::InputLimits
