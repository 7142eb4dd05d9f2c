#include "platform/browser/ExtensionProtocol.h"

#include <QJsonArray>

#include <algorithm>

#include <cmath>
#include <limits>

namespace ostrevane::ExtensionProtocol {

namespace {

const QString untitled = QStringLiteral("Untitled");

QJsonObject request(qint64 id, const char* type)
{
    return QJsonObject{{idKey, id}, {typeKey, QLatin1String(type)}};
}

// A position: a whole number in the 32-bit range; anything else reads as missing (0).
int position(const QJsonValue& value)
{
    const double number = value.toDouble(0);
    if (!value.isDouble() || number != std::floor(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(number);
}

std::optional<BrowserTabRow> tabRow(const QJsonValue& value)
{
    const QJsonArray entries = value.toArray();
    if (entries.size() < 5)
        return std::nullopt;
    BrowserTabRow row;
    row.windowIndex = position(entries[0]);
    row.tabIndex = position(entries[1]);
    if (row.windowIndex < 1 || row.tabIndex < 1)
        return std::nullopt;
    row.active = entries[2].toBool(false);
    row.title = entries[3].isString() ? entries[3].toString() : untitled;
    row.url = entries[4].toString();
    if (entries.size() > 5)
        row.faviconURL = entries[5].toString();
    return row;
}

} // namespace

QJsonObject listRequest(qint64 id) { return request(id, "list"); }

QJsonObject activateRequest(qint64 id, BrowserSpec::Family family, const BrowserTabAddress& tab)
{
    QJsonObject message = request(id, "activate");
    message.insert(QStringLiteral("match"), family == BrowserSpec::Family::chromium ? QStringLiteral("position")
                                                                                     : QStringLiteral("address"));
    message.insert(QStringLiteral("url"), tab.url);
    message.insert(QStringLiteral("title"), tab.title);
    message.insert(QStringLiteral("windowIndex"), std::max(tab.windowIndex, 1));
    message.insert(QStringLiteral("tabIndex"), std::max(tab.tabIndex, 1));
    return message;
}

QJsonObject closeRequest(qint64 id, const BrowserTabAddress& tab)
{
    QJsonObject message = request(id, "close");
    // As recorded: a position that no longer exists closes nothing.
    message.insert(QStringLiteral("windowIndex"), tab.windowIndex);
    message.insert(QStringLiteral("tabIndex"), tab.tabIndex);
    return message;
}

std::optional<qint64> replyID(const QJsonObject& message)
{
    const QJsonValue id = message.value(idKey);
    if (!id.isDouble())
        return std::nullopt;
    return id.toInteger();
}

std::optional<std::vector<BrowserTabRow>> tabRows(const QJsonObject& answer)
{
    const QJsonValue tabs = answer.value(QStringLiteral("tabs"));
    if (answer.value(typeKey).toString() != QLatin1String("tabs") || !tabs.isArray())
        return std::nullopt;
    std::vector<BrowserTabRow> rows;
    const QJsonArray list = tabs.toArray();
    rows.reserve(static_cast<size_t>(list.size()));
    for (const QJsonValue& value : list)
        if (std::optional<BrowserTabRow> row = tabRow(value))
            rows.push_back(std::move(*row));
    return rows;
}

bool resultOK(const QJsonObject& answer)
{
    return answer.value(typeKey).toString() == QLatin1String("result")
        && answer.value(QStringLiteral("ok")).toBool(false);
}

} // namespace ostrevane::ExtensionProtocol
