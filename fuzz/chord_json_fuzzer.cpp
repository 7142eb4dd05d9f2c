// The activation chord and the in-panel shortcuts, stored as JSON in the settings.
#include "FuzzSupport.h"

#include "core/input/HotkeySettings.h"
#include "core/input/ShortcutStore.h"

using namespace ostrevane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    if (const std::optional<HotkeyConfig> chord = HotkeyConfig::decode(bytes))
        if (HotkeyConfig::decode(chord->encode()) != chord)
            fuzz::fail("a chord did not survive its own encoding");
    if (const std::optional<ShortcutMap> overrides = ShortcutStore::decode(bytes))
        for (const auto& [action, chord] : *overrides)
            if (HotkeyConfig::decode(chord.encode()) != chord)
                fuzz::fail("a shortcut did not survive its own encoding");
    return 0;
}
