#pragma once

#include <QString>

#include <optional>

namespace ostrevane {

// Launch at login through the current runtime's login-item service. Stateless: every
// call asks the service, so the answer is always the real state.
namespace LoginItemController {

bool isEnabled();

// Registers or unregisters the program as a login item. Asking for the state it already
// has does nothing (the service is not called). Nothing on success; on failure the
// service's reason, which is also logged. Either way, read isEnabled() afterwards for
// the state that holds now.
std::optional<QString> setEnabled(bool enabled);

// What the preferences show when a change failed, in the current language.
QString failureMessage();

} // namespace LoginItemController

} // namespace ostrevane
