#pragma once

#include "core/shell/PlatformProfile.h"
#include "core/platform/BrowserAutomation.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace ostrevane {

// The messages between the program and the browser extension (relayed unchanged by the
// connector). Requests carry a numeric "id" that the answer repeats:
//
//   {"id":1,"type":"list"}
//       -> {"id":1,"type":"tabs","tabs":[[window, tab, active, title, url, favicon?], ...]}
//          windows front to back from 1, tabs from 1, as the browser's scripting
//          interfaces number them; favicon is the icon address the browser knows
//   {"id":2,"type":"activate","match":"position"|"address","url":..,"title":..,
//    "windowIndex":w,"tabIndex":t}
//       -> {"id":2,"type":"result","ok":true|false}
//   {"id":3,"type":"close","windowIndex":w,"tabIndex":t} -> {"id":3,"type":"result",...}
//
// and, unasked: {"type":"hello","version":..,"browser":..} when the extension connects,
// {"type":"changed"} when tabs or windows changed; the connector introduces itself with
// {"type":"connector","version":1}.
namespace ExtensionProtocol {

inline const QString typeKey = QStringLiteral("type");
inline const QString idKey = QStringLiteral("id");
inline const QString hello = QStringLiteral("hello");
inline const QString changed = QStringLiteral("changed");
inline const QString connector = QStringLiteral("connector");
inline constexpr int connectorVersion = 1;

QJsonObject listRequest(qint64 id);
// "position" first for the Chromium family, "address" first for the others.
QJsonObject activateRequest(qint64 id, BrowserSpec::Family family, const BrowserTabAddress& tab);
QJsonObject closeRequest(qint64 id, const BrowserTabAddress& tab);

// The request id an answer repeats; none for unasked messages.
std::optional<qint64> replyID(const QJsonObject& message);
// The rows of a "tabs" answer; none when the answer is not one. A row that is not a list
// of at least five entries, or whose window or tab position is missing or below 1, is
// skipped alone; a title that is not text reads "Untitled", an address that is not text
// reads empty, a favicon that is not text is ignored.
std::optional<std::vector<BrowserTabRow>> tabRows(const QJsonObject& answer);
// True only for a "result" answer whose "ok" is true.
bool resultOK(const QJsonObject& answer);

} // namespace ExtensionProtocol

} // namespace ostrevane
