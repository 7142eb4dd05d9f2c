#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace ostrevane {

using ProcessID = qint32;

// An accessibility element: opaque to the logic, which only passes it through.
// Each backend derives its own element type.
class AXElementData {
public:
    virtual ~AXElementData() = default;
};
using AXElement = std::shared_ptr<const AXElementData>;

// The result of reading an attribute: absent, text, boolean, element or element list.
// Any failure of the platform reads as absent.
using AXValue = std::variant<std::monostate, QString, bool, AXElement, std::vector<AXElement>>;

// Attribute, action and role names. Backends answer this vocabulary.
namespace AX {
inline const QString title = QStringLiteral("AXTitle");
inline const QString role = QStringLiteral("AXRole");
inline const QString subrole = QStringLiteral("AXSubrole");
inline const QString description = QStringLiteral("AXDescription");
inline const QString help = QStringLiteral("AXHelp");
inline const QString selected = QStringLiteral("AXSelected");
inline const QString value = QStringLiteral("AXValue");
inline const QString focused = QStringLiteral("AXFocused");
inline const QString minimized = QStringLiteral("AXMinimized");
// Text: the 1-based number of the desktop a window lies on ("2") when that desktop is not
// the one shown; absent for a window on the shown desktop or on all of them.
inline const QString otherDesktop = QStringLiteral("AXOtherDesktop");
inline const QString enabled = QStringLiteral("AXEnabled");
inline const QString main = QStringLiteral("AXMain");
inline const QString windows = QStringLiteral("AXWindows");
inline const QString children = QStringLiteral("AXChildren");
inline const QString closeButton = QStringLiteral("AXCloseButton");
inline const QString focusedWindow = QStringLiteral("AXFocusedWindow");
inline const QString sheet = QStringLiteral("AXSheet");
inline const QString raise = QStringLiteral("AXRaise");
inline const QString press = QStringLiteral("AXPress");
inline const QString roleTabGroup = QStringLiteral("AXTabGroup");
inline const QString roleRadioButton = QStringLiteral("AXRadioButton");
inline const QString roleButton = QStringLiteral("AXButton");
inline const QString roleCell = QStringLiteral("AXCell");
inline const QString subroleSheet = QStringLiteral("AXSheet");
inline const QString subroleSystemDialog = QStringLiteral("AXSystemDialog");
inline const QString subroleDialog = QStringLiteral("AXDialog");
} // namespace AX

// The accessibility port: reads and drives other applications' windows. Every call
// tolerates elements whose window or application has gone (reads give absent,
// writes and actions do nothing).
class Accessibility {
public:
    virtual ~Accessibility() = default;

    virtual bool isProcessTrusted() = 0;
    virtual AXElement createApplication(ProcessID pid) = 0;
    virtual AXValue copyAttribute(const AXElement& element, const QString& attribute) = 0;
    virtual void setBool(const AXElement& element, const QString& attribute, bool value) = 0;
    virtual void perform(const AXElement& element, const QString& action) = 0;
    // The window server's number of a window element, when known.
    virtual std::optional<quint32> windowNumber(const AXElement& element) = 0;

    // Typed reads: a value of another kind counts as absent.
    std::optional<QString> copyText(const AXElement& element, const QString& attribute)
    {
        return as<QString>(copyAttribute(element, attribute));
    }
    std::optional<bool> copyBool(const AXElement& element, const QString& attribute)
    {
        return as<bool>(copyAttribute(element, attribute));
    }
    AXElement copyElement(const AXElement& element, const QString& attribute)
    {
        return as<AXElement>(copyAttribute(element, attribute)).value_or(nullptr);
    }
    std::vector<AXElement> copyElements(const AXElement& element, const QString& attribute)
    {
        return as<std::vector<AXElement>>(copyAttribute(element, attribute)).value_or(std::vector<AXElement>{});
    }

private:
    template <class T>
    static std::optional<T> as(const AXValue& value)
    {
        if (const T* v = std::get_if<T>(&value))
            return *v;
        return std::nullopt;
    }
};

} // namespace ostrevane
