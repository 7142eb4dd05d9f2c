#pragma once

#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace ostrevane {

// A script's result: a list, an integer, a boolean or a text, read by 1-based position.
class ScriptDescriptor {
public:
    using List = std::vector<ScriptDescriptor>;
    using Value = std::variant<std::monostate, qint64, bool, QString, List>;

    ScriptDescriptor() = default;
    ScriptDescriptor(Value value) : m_value(std::move(value)) {}

    const Value& value() const { return m_value; }
    // The number of list elements; 0 for anything but a list.
    int numberOfItems() const
    {
        const List* list = std::get_if<List>(&m_value);
        return list ? static_cast<int>(list->size()) : 0;
    }
    // The element at a 1-based position, or null when out of range or not a list.
    const ScriptDescriptor* at(int oneBased) const
    {
        const List* list = std::get_if<List>(&m_value);
        if (!list || oneBased < 1 || oneBased > static_cast<int>(list->size()))
            return nullptr;
        return &(*list)[static_cast<size_t>(oneBased - 1)];
    }
    std::optional<qint32> int32Value() const
    {
        if (const qint64* v = std::get_if<qint64>(&m_value))
            if (*v >= INT32_MIN && *v <= INT32_MAX)
                return static_cast<qint32>(*v);
        return std::nullopt;
    }
    std::optional<bool> booleanValue() const
    {
        if (const bool* v = std::get_if<bool>(&m_value))
            return *v;
        return std::nullopt;
    }
    std::optional<QString> stringValue() const
    {
        if (const QString* v = std::get_if<QString>(&m_value))
            return *v;
        return std::nullopt;
    }

private:
    Value m_value;
};

// Runs an AppleScript text. Compile errors, run errors, refused automation and busy
// applications all give nothing; they are not told apart.
class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;
    virtual std::optional<ScriptDescriptor> executeAppleScript(const QString& source) = 0;
};

} // namespace ostrevane
