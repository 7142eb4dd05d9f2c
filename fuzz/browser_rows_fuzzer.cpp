// What a browser answers to the tab listing, turned into rows, and the favicon
// addresses made from the rows' page addresses.
#include "FuzzSupport.h"

#include "core/sources/AppleScriptAutomation.h"
#include "core/sources/BrowserTabEnumerator.h"
#include "core/sources/FaviconCache.h"

using namespace ostrevane;

namespace {

// Reads a result tree from the bytes: a tag byte picks list (with a count), integer,
// boolean or text; everything else is empty.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}

    ScriptDescriptor next(int depth)
    {
        switch (byte() % 5) {
        case 0: {
            ScriptDescriptor::List list;
            const int count = depth < 6 ? byte() % 12 : 0;
            for (int i = 0; i < count && m_at < m_bytes.size(); ++i)
                list.push_back(next(depth + 1));
            return ScriptDescriptor(std::move(list));
        }
        case 1:
            return ScriptDescriptor(qint64(qint8(byte())) * (qint64(1) << (byte() % 40)));
        case 2:
            return ScriptDescriptor(bool(byte() & 1));
        case 3: {
            const int length = byte() % 64;
            const QByteArray text = m_bytes.mid(m_at, length);
            m_at += length;
            return ScriptDescriptor(QString::fromUtf8(text));
        }
        default:
            return ScriptDescriptor();
        }
    }

private:
    quint8 byte() { return m_at < m_bytes.size() ? quint8(m_bytes[m_at++]) : 0; }

    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    Reader reader(bytes);
    for (const BrowserTabRow& row : AppleScriptAutomation::tabRows(reader.next(0))) {
        const QString favicon = BrowserTabEnumerator::faviconURL(row.url);
        const bool web = row.url.startsWith(QLatin1String("http://")) || row.url.startsWith(QLatin1String("https://"));
        if (web && !favicon.isEmpty()
            && FaviconCache::faviconCandidates(favicon, QStringLiteral("https://icons.example")).isEmpty())
            fuzz::fail("a favicon address we made gives no candidates");
    }
    return 0;
}
