#include "platform/sim/SimAccessibility.h"

namespace ostrevane {

SimElementRef SimAccessibility::makeElement(QString label)
{
    return std::make_shared<const SimElement>(std::move(label));
}

void SimAccessibility::setTrusted(bool trusted)
{
    std::lock_guard lock(m_mutex);
    m_trusted = trusted;
}

void SimAccessibility::setApplication(ProcessID pid, AXElement element)
{
    std::lock_guard lock(m_mutex);
    m_keepAlive.push_back(element);
    m_applications[pid] = std::move(element);
}

void SimAccessibility::setAttribute(const AXElement& element, const QString& attribute, AXValue value)
{
    std::lock_guard lock(m_mutex);
    m_keepAlive.push_back(element);
    m_attributes[element.get()].insert(attribute, std::move(value));
}

void SimAccessibility::removeAttribute(const AXElement& element, const QString& attribute)
{
    std::lock_guard lock(m_mutex);
    m_attributes[element.get()].remove(attribute);
}

void SimAccessibility::setWindowNumber(const AXElement& element, quint32 number)
{
    std::lock_guard lock(m_mutex);
    m_keepAlive.push_back(element);
    m_windowNumbers[element.get()] = number;
}

std::vector<SimAccessibility::Action> SimAccessibility::actions() const
{
    std::lock_guard lock(m_mutex);
    return m_actions;
}

std::vector<SimAccessibility::BoolWrite> SimAccessibility::boolWrites() const
{
    std::lock_guard lock(m_mutex);
    return m_boolWrites;
}

int SimAccessibility::attributeReads() const
{
    std::lock_guard lock(m_mutex);
    return m_reads;
}

bool SimAccessibility::isProcessTrusted()
{
    std::lock_guard lock(m_mutex);
    return m_trusted;
}

AXElement SimAccessibility::createApplication(ProcessID pid)
{
    std::lock_guard lock(m_mutex);
    auto it = m_applications.find(pid);
    return it == m_applications.end() ? nullptr : it->second;
}

AXValue SimAccessibility::copyAttribute(const AXElement& element, const QString& attribute)
{
    std::lock_guard lock(m_mutex);
    ++m_reads;
    if (!element)
        return {};
    auto it = m_attributes.find(element.get());
    if (it == m_attributes.end())
        return {};
    return it->second.value(attribute, AXValue{});
}

void SimAccessibility::setBool(const AXElement& element, const QString& attribute, bool value)
{
    std::lock_guard lock(m_mutex);
    m_boolWrites.push_back({element, attribute, value});
    if (element)
        m_attributes[element.get()].insert(attribute, value);
}

void SimAccessibility::perform(const AXElement& element, const QString& action)
{
    std::lock_guard lock(m_mutex);
    m_actions.push_back({element, action});
}

std::optional<quint32> SimAccessibility::windowNumber(const AXElement& element)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windowNumbers.find(element.get());
    if (it == m_windowNumbers.end())
        return std::nullopt;
    return it->second;
}

} // namespace ostrevane
