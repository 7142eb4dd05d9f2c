#pragma once

#include "core/platform/Accessibility.h"

#include <QHash>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace ostrevane {

// An element of the simulated accessibility tree: a bag of attributes.
class SimElement : public AXElementData {
public:
    explicit SimElement(QString label = {}) : m_label(std::move(label)) {}
    const QString& label() const { return m_label; }

private:
    QString m_label; // for test messages only
};
using SimElementRef = std::shared_ptr<const SimElement>;

// The accessibility port of the simulated desktop. Tests build trees of elements with
// attributes, and read back every write and action performed on them.
class SimAccessibility : public Accessibility {
public:
    struct Action {
        AXElement element;
        QString name;
    };
    struct BoolWrite {
        AXElement element;
        QString attribute;
        bool value;
    };

    static SimElementRef makeElement(QString label = {});

    void setTrusted(bool trusted);
    void setApplication(ProcessID pid, AXElement element);
    void setAttribute(const AXElement& element, const QString& attribute, AXValue value);
    void removeAttribute(const AXElement& element, const QString& attribute);
    void setWindowNumber(const AXElement& element, quint32 number);

    std::vector<Action> actions() const;
    std::vector<BoolWrite> boolWrites() const;
    int attributeReads() const;

    bool isProcessTrusted() override;
    AXElement createApplication(ProcessID pid) override;
    AXValue copyAttribute(const AXElement& element, const QString& attribute) override;
    void setBool(const AXElement& element, const QString& attribute, bool value) override;
    void perform(const AXElement& element, const QString& action) override;
    std::optional<quint32> windowNumber(const AXElement& element) override;

private:
    mutable std::mutex m_mutex;
    bool m_trusted = true;
    std::map<ProcessID, AXElement> m_applications;
    std::map<const AXElementData*, QHash<QString, AXValue>> m_attributes;
    std::map<const AXElementData*, quint32> m_windowNumbers;
    std::vector<AXElement> m_keepAlive; // elements stay valid while the desktop lives
    std::vector<Action> m_actions;
    std::vector<BoolWrite> m_boolWrites;
    int m_reads = 0;
};

} // namespace ostrevane
