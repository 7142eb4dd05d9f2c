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

// libplist 2.2's XML reader, token for token as far as nesting goes. A measure with
// rules of its own can be fooled: a quoted '>' in a doctype or a "<?" inside a quoted
// value makes it skip text the reader reads, and levels hide there. So this skips exactly
// what the reader skips, and ends where the reader ends, at the close of the top
// container or at the first text the reader refuses (it then returns nothing, though
// freeing what it built so far still recurses: those levels count).
class PlistXmlWalk {
public:
    explicit PlistXmlWalk(const QByteArray& xml) : m_at(xml.constData()), m_end(m_at + xml.size()) {}

    // The depth of the value the reader builds: each dict or array a level, a value
    // inside the deepest one more.
    int deepest()
    {
        while (m_at < m_end && token()) {
        }
        return m_deepest;
    }

private:
    // One step of the reader's main loop; false where it stops.
    bool token()
    {
        skipSpace();
        if (m_at >= m_end)
            return false;
        if (*m_at != '<' || ++m_at >= m_end)
            return false;
        if (*m_at == '?')
            return skipTo("?>", true);
        if (*m_at == '!')
            return special();
        return element();
    }

    bool special()
    {
        if (m_end - m_at > 3 && startsWith(m_at, m_end, "!--")) {
            m_at += 3;
            return skipTo("-->", false);
        }
        if (m_end - m_at <= 8 || !startsWith(m_at, m_end, "!DOCTYPE"))
            return false;
        m_at += 8;
        for (;;) {
            findNext(" \t\r\n[>", true);
            if (m_at >= m_end)
                return false;
            if (*m_at == '[')
                return skipTo("]>", true);
            if (*m_at == '>') {
                ++m_at;
                return true;
            }
            skipSpace();
        }
    }

    bool element()
    {
        const char* name = m_at;
        findNext(" \r\n\t<>", false);
        if (m_at >= m_end)
            return false;
        QByteArray tag(name, m_at - name);
        if (*m_at != '>')
            findNext("<>", true);
        if (m_at >= m_end || *m_at != '>')
            return false;
        const bool empty = m_at[-1] == '/';
        if (empty && m_at - name - 1 < tag.size())
            tag.truncate(m_at - name - 1);
        ++m_at;
        if (tag == "plist") {
            if (empty || (m_path.empty() && m_haveRoot))
                return false;
            m_path.push_back(tag);
            return true;
        }
        if (tag.startsWith('/'))
            return close(tag.mid(1));
        return value(tag, empty);
    }

    bool value(const QByteArray& tag, bool empty)
    {
        const bool container = tag == "dict" || tag == "array";
        static const char* const texts[] = {"key", "string", "integer", "real", "true", "false", "data", "date"};
        if (!container && std::none_of(std::begin(texts), std::end(texts), [&](const char* t) { return tag == t; }))
            return false;
        // The reader adds the value before it notices a bad text, and then stops.
        const bool read = container || empty || skipText(tag);
        // A dictionary's key is counted like a value: at most one level too many.
        const int depth = m_parentDepth + 1;
        m_deepest = std::max(m_deepest, depth);
        if (!m_haveRoot) {
            m_haveRoot = true;
            if (!container)
                return false; // a lone scalar is the whole document
            m_parentDepth = 1; // even an empty top container takes the values after it
        } else if (container && !empty) {
            m_parentDepth = depth;
        }
        if (container && !empty)
            m_path.push_back(tag);
        return read;
    }

    bool close(const QByteArray& tag)
    {
        if (m_path.empty() || m_path.back() != tag)
            return false;
        m_path.pop_back();
        if (tag == "plist")
            return true;
        return --m_parentDepth > 0; // past the top container: the document ends
    }

    // A text value's content up to its end tag, with comments and character data.
    bool skipText(const QByteArray& tag)
    {
        for (;;) {
            findChar('<', false);
            if (m_at >= m_end || ++m_at >= m_end)
                return false;
            if (*m_at == '/')
                break;
            if (*m_at != '!' || ++m_at >= m_end - 1)
                return false;
            if (m_at[0] == '-' && m_at[1] == '-') {
                m_at += 2;
                if (!skipTo("-->", false))
                    return false;
            } else if (*m_at == '[' && ++m_at < m_end - 8 && startsWith(m_at, m_end, "CDATA[")) {
                m_at += 6;
                if (!skipTo("]]>", false))
                    return false;
            } else {
                return false;
            }
        }
        ++m_at;
        if (m_end - m_at <= tag.size() || !startsWith(m_at, m_end, tag.constData()))
            return false;
        m_at += tag.size();
        skipSpace();
        return m_at < m_end && *m_at++ == '>';
    }

    // Past the next `marker` (quoted text skipped when `quotes`); false when there is none.
    bool skipTo(const char* marker, bool quotes)
    {
        const qsizetype length = qstrlen(marker);
        while (m_end - m_at > length && !startsWith(m_at, m_end, marker)) {
            if (quotes && *m_at == '"' && !skipQuoted())
                return false;
            ++m_at;
        }
        if (m_end - m_at < length || !startsWith(m_at, m_end, marker))
            return false;
        m_at += length;
        return true;
    }

    void findChar(char wanted, bool quotes)
    {
        while (m_at < m_end && *m_at != wanted) {
            if (quotes && *m_at == '"' && !skipQuoted())
                return;
            ++m_at;
        }
    }

    void findNext(const char* any, bool quotes)
    {
        for (; m_at < m_end; ++m_at) {
            if (quotes && *m_at == '"' && !skipQuoted())
                return;
            if (std::strchr(any, *m_at) && *m_at != '\0')
                return;
        }
    }

    // From an opening '"' to its closing one; false (at the end) when there is none.
    bool skipQuoted()
    {
        ++m_at;
        findChar('"', false);
        return m_at < m_end;
    }

    void skipSpace()
    {
        while (m_at < m_end && (*m_at == ' ' || *m_at == '\t' || *m_at == '\r' || *m_at == '\n'))
            ++m_at;
    }

    const char* m_at;
    const char* const m_end;
    std::vector<QByteArray> m_path; // open plist, dict and array elements, for their end tags
    int m_parentDepth = 0;          // the depth of the container new values go into
    int m_deepest = 0;
    bool m_haveRoot = false;
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

int xmlDepth(const QByteArray& xml) { return PlistXmlWalk(xml).deepest(); }

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
