#include "core/input/HotkeySettings.h"

#include "core/shell/InputLimits.h"
#include "core/input/KeyCodeNames.h"
#include "core/shell/NotificationCenter.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/preferences/UserDefaults.h"

#include <QJsonDocument>

#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace ostrevane {

namespace {

const QString keyCodeMember = QStringLiteral("keyCode");
const QString modifiersMember = QStringLiteral("carbonModifiers");

// JSON numbers are doubles; a chord field must be a whole number that fits 32 bits.
std::optional<quint32> unsigned32(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > std::numeric_limits<quint32>::max() || std::floor(number) != number)
        return std::nullopt;
    return static_cast<quint32>(number);
}

} // namespace

namespace {

// The order both styles list modifiers in.
constexpr std::array<quint32, 4> modifierOrder{CarbonModifier::control, CarbonModifier::option, CarbonModifier::shift,
                                               CarbonModifier::command};

} // namespace

QString modifierName(quint32 carbonModifier, ChordStyle style)
{
    const bool glyphs = style == ChordStyle::glyphs;
    switch (carbonModifier) {
    case CarbonModifier::control:
        return glyphs ? QStringLiteral("⌃") : QStringLiteral("Ctrl");
    case CarbonModifier::option:
        return glyphs ? QStringLiteral("⌥") : QStringLiteral("Alt");
    case CarbonModifier::shift:
        return glyphs ? QStringLiteral("⇧") : QStringLiteral("Shift");
    case CarbonModifier::command:
        return glyphs ? QStringLiteral("⌘") : QStringLiteral("Super");
    default:
        return QString();
    }
}

ChordStyle currentChordStyle()
{
    return RuntimeContext::hasCurrent() ? RuntimeContext::current().profile().chordStyle : ChordStyle::glyphs;
}

QString HotkeyConfig::displayString() const { return displayString(currentChordStyle()); }

QString HotkeyConfig::displayString(ChordStyle style) const
{
    QStringList parts;
    for (const quint32 mask : modifierOrder)
        if (carbonModifiers & mask)
            parts << modifierName(mask, style);
    parts << KeyCodeNames::name(keyCode, style);
    return parts.join(style == ChordStyle::glyphs ? QString() : QStringLiteral("+"));
}

QJsonObject HotkeyConfig::toJson() const
{
    return QJsonObject{{keyCodeMember, static_cast<qint64>(keyCode)},
                       {modifiersMember, static_cast<qint64>(carbonModifiers)}};
}

std::optional<HotkeyConfig> HotkeyConfig::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto keyCode = unsigned32(object.value(keyCodeMember));
    const auto modifiers = unsigned32(object.value(modifiersMember));
    if (!keyCode || !modifiers)
        return std::nullopt;
    return HotkeyConfig{*keyCode, *modifiers};
}

QByteArray HotkeyConfig::encode() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<HotkeyConfig> HotkeyConfig::decode(const QByteArray& json)
{
    if (!InputLimits::jsonWithinLimits(json))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}

quint32 carbonFlags(quint64 modifierFlags)
{
    static const std::array<std::pair<quint64, quint32>, 4> masks{{
        {ModifierFlag::shift, CarbonModifier::shift},
        {ModifierFlag::control, CarbonModifier::control},
        {ModifierFlag::option, CarbonModifier::option},
        {ModifierFlag::command, CarbonModifier::command},
    }};
    quint32 result = 0;
    for (const auto& [flag, mask] : masks)
        if (modifierFlags & flag)
            result |= mask;
    return result;
}

namespace HotkeyStore {

HotkeyConfig current()
{
    const auto blob = RuntimeContext::current().defaults().data(defaultsKey);
    if (!blob)
        return HotkeyConfig::defaultConfig();
    return HotkeyConfig::decode(*blob).value_or(HotkeyConfig::defaultConfig());
}

void setCurrent(const HotkeyConfig& config)
{
    RuntimeContext& context = RuntimeContext::current();
    context.defaults().set(defaultsKey, config.encode());
    context.notifications().post(Notifications::hotkeyChanged);
}

} // namespace HotkeyStore

} // namespace ostrevane
