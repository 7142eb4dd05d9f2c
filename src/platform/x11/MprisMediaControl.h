#pragma once

#include "core/platform/SystemServices.h"

namespace ostrevane {

// Pauses media players over D-Bus (MPRIS): every player on the session bus whose
// "DesktopEntry" is the given desktop id is sent Pause. Nothing happens when no such
// player runs or there is no session bus. Blocking D-Bus calls: call it off the main
// thread (the quit path does).
class MprisMediaControl : public MediaControl {
public:
    // A player that does not answer within this time is left alone.
    static constexpr int callTimeoutMilliseconds = 500;

    void pause(const QString& bundleID, const QString& playerName) override;
};

} // namespace ostrevane
