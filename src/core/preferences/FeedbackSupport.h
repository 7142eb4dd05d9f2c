#pragma once

#include <QString>
#include <QUrl>

namespace ostrevane {

// The diagnostics text users attach to bug reports, and where reports go. The text
// holds versions, permissions, browser names and settings only: never window titles,
// tab addresses or other personal content. It is never translated.
namespace FeedbackSupport {

// The new-issue page of the feedback tracker, set when the program is built
// (OSTREVANE_ISSUES_URL). Nothing is appended to it. Empty when the build set none.
const QUrl& issuesURL();
// An http or https address with a host; empty (and logged) for anything else.
QUrl parseIssuesURL(const QString& text);

// Eighteen lines joined by "\n" (none after the last): versions, the system, the
// permissions, the browser tab status and probe, the hotkey and the panel settings.
// Reads the current runtime's ports and runs the browser probes synchronously, which
// can take seconds: call it on demand, never on the panel path.
QString diagnosticsText();

// The machine field of uname ("x86_64", "arm64").
QString machineArchitecture();

// One line fragment for a fresh browser tab status: "ready (12 tabs)",
// "degraded (3 fallback tabs): <reason>", "blocked: <reason>" or "unavailable".
QString browserTabStatusText();

} // namespace FeedbackSupport

} // namespace ostrevane
