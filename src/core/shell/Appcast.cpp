#include "core/shell/Appcast.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace ostrevane {

namespace {

// ---- Versions ---------------------------------------------------------------------

struct ParsedVersion {
    QStringList release; // digit runs without leading zeros
    QStringList label;   // pre-release tokens: letter runs (lower case) and digit runs
};

bool isSeparator(QChar c) { return c == u'.' || c == u'-' || c == u'_' || c == u'~' || c == u' '; }

QString withoutLeadingZeros(const QString& digits)
{
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == u'0')
        ++first;
    return digits.mid(first);
}

// Digit runs compare by length first: no number is too long to order.
int compareDigits(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return QString::compare(a, b);
}

qsizetype runEnd(const QString& text, qsizetype from, bool digits)
{
    while (from < text.size() && text[from].isDigit() == digits && (digits || text[from].isLetter()))
        ++from;
    return from;
}

ParsedVersion parseVersion(QString text)
{
    text = text.trimmed();
    if (const qsizetype plus = text.indexOf(u'+'); plus >= 0)
        text.truncate(plus);
    ParsedVersion parsed;
    qsizetype i = 0;
    // Numbers joined by separators form the release; the first letter starts the label.
    while (i < text.size() && text[i].isDigit()) {
        const qsizetype end = runEnd(text, i, true);
        parsed.release << withoutLeadingZeros(text.mid(i, end - i));
        i = end;
        if (i + 1 < text.size() && isSeparator(text[i]) && text[i + 1].isDigit())
            ++i;
    }
    while (i < text.size()) {
        if (text[i].isDigit() || text[i].isLetter()) {
            const bool digits = text[i].isDigit();
            const qsizetype end = runEnd(text, i, digits);
            const QString token = text.mid(i, end - i);
            parsed.label << (digits ? withoutLeadingZeros(token) : token.toLower());
            i = end;
        } else {
            ++i;
        }
    }
    return parsed;
}

// Known pre-release words in release order; others come after "rc", alphabetically.
int labelRank(const QString& word)
{
    static const QStringList order{"dev", "alpha", "beta", "pre", "rc"};
    static const QStringList shortForms{"d", "a", "b", "p", "c"};
    if (const qsizetype at = order.indexOf(word); at >= 0)
        return int(at);
    if (const qsizetype at = shortForms.indexOf(word); at >= 0)
        return int(at);
    if (word == u"preview")
        return 3;
    return int(order.size());
}

int compareLabelToken(const QString& a, const QString& b)
{
    const bool aDigits = a.front().isDigit();
    const bool bDigits = b.front().isDigit();
    if (aDigits != bDigits)
        return aDigits ? 1 : -1;
    if (aDigits)
        return compareDigits(a, b);
    if (const int rank = labelRank(a) - labelRank(b); rank != 0)
        return rank;
    return QString::compare(a, b);
}

int compareLabels(const QStringList& a, const QStringList& b)
{
    if (a.isEmpty() != b.isEmpty())
        return a.isEmpty() ? 1 : -1; // a release is newer than any of its pre-releases
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        if (const int order = compareLabelToken(a[i], b[i]); order != 0)
            return order;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// ---- Feed -------------------------------------------------------------------------

const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

bool isSparkle(const QXmlStreamReader& xml, QLatin1StringView name)
{
    return xml.namespaceUri() == sparkleNamespace && xml.name() == name;
}

bool isPlain(const QXmlStreamReader& xml, QLatin1StringView name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

void readEnclosure(const QXmlStreamAttributes& attributes, AppcastItem& item, bool& usable)
{
    const QString os = attributes.value(sparkleNamespace, QStringLiteral("os")).toString();
    if (usable || (!os.isEmpty() && os != u"linux"))
        return; // the first enclosure for this system counts
    item.archiveURL = attributes.value(QStringLiteral("url")).toString().trimmed();
    item.archiveLength = attributes.value(QStringLiteral("length")).toLongLong();
    item.edSignature = attributes.value(sparkleNamespace, QStringLiteral("edSignature")).toString().trimmed().toLatin1();
    if (item.version.isEmpty())
        item.version = attributes.value(sparkleNamespace, QStringLiteral("version")).toString().trimmed();
    if (item.shortVersion.isEmpty())
        item.shortVersion = attributes.value(sparkleNamespace, QStringLiteral("shortVersionString")).toString().trimmed();
    usable = !item.archiveURL.isEmpty() && item.archiveLength > 0 && !item.edSignature.isEmpty();
}

// Reads one <item>; the reader stands on its start and ends on its end.
std::optional<AppcastItem> readItem(QXmlStreamReader& xml)
{
    AppcastItem item;
    bool usable = false;
    while (xml.readNextStartElement()) {
        if (isPlain(xml, QLatin1StringView("enclosure"))) {
            readEnclosure(xml.attributes(), item, usable);
            xml.skipCurrentElement();
        } else if (isPlain(xml, QLatin1StringView("title"))) {
            item.title = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isPlain(xml, QLatin1StringView("description"))) {
            item.notes = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (isSparkle(xml, QLatin1StringView("version"))) {
            item.version = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isSparkle(xml, QLatin1StringView("shortVersionString"))) {
            item.shortVersion = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isSparkle(xml, QLatin1StringView("minimumSystemVersion"))) {
            item.minimumSystemVersion = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isSparkle(xml, QLatin1StringView("releaseNotesLink"))) {
            item.releaseNotesURL = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else {
            xml.skipCurrentElement();
        }
    }
    if (!usable || item.version.isEmpty())
        return std::nullopt;
    return item;
}

std::vector<AppcastItem> readChannel(QXmlStreamReader& xml)
{
    std::vector<AppcastItem> items;
    while (xml.readNextStartElement()) {
        if (!isPlain(xml, QLatin1StringView("item"))) {
            xml.skipCurrentElement();
            continue;
        }
        if (std::optional<AppcastItem> item = readItem(xml))
            items.push_back(std::move(*item));
    }
    return items;
}

} // namespace

int UpdateVersion::compare(const QString& a, const QString& b)
{
    const ParsedVersion left = parseVersion(a);
    const ParsedVersion right = parseVersion(b);
    const qsizetype parts = std::max(left.release.size(), right.release.size());
    for (qsizetype i = 0; i < parts; ++i) {
        const QString x = i < left.release.size() ? left.release[i] : QStringLiteral("0");
        const QString y = i < right.release.size() ? right.release[i] : QStringLiteral("0");
        if (const int order = compareDigits(x, y); order != 0)
            return order;
    }
    return compareLabels(left.label, right.label);
}

std::optional<std::vector<AppcastItem>> Appcast::parse(const QByteArray& bytes, QString* error)
{
    QXmlStreamReader xml(bytes);
    bool sawChannel = false;
    std::vector<AppcastItem> items;
    if (xml.readNextStartElement() && isPlain(xml, QLatin1StringView("rss"))) {
        while (xml.readNextStartElement()) {
            if (isPlain(xml, QLatin1StringView("channel")) && !sawChannel) {
                sawChannel = true;
                items = readChannel(xml);
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    if (!xml.hasError() && !sawChannel)
        xml.raiseError(QStringLiteral("not an RSS channel"));
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
        return std::nullopt;
    }
    return items;
}

std::optional<AppcastItem> Appcast::bestUpdate(const std::vector<AppcastItem>& items, const QString& currentVersion,
                                               const QString& systemVersion)
{
    const AppcastItem* best = nullptr;
    for (const AppcastItem& item : items) {
        if (UpdateVersion::compare(item.version, currentVersion) <= 0)
            continue;
        if (!item.minimumSystemVersion.isEmpty() && UpdateVersion::compare(item.minimumSystemVersion, systemVersion) > 0)
            continue;
        if (!best || UpdateVersion::compare(item.version, best->version) > 0)
            best = &item;
    }
    return best ? std::optional<AppcastItem>(*best) : std::nullopt;
}

} // namespace ostrevane
