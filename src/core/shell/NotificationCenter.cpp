#include "core/shell/NotificationCenter.h"

#include "core/platform/Dispatcher.h"

#include <vector>

namespace ostrevane {

NotificationCenter::NotificationCenter(Dispatcher& dispatcher) : m_dispatcher(dispatcher) {}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, Observer observer)
{
    std::lock_guard lock(m_mutex);
    const Token token = m_nextToken++;
    m_observers.emplace(token, Entry{name, std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(token);
}

void NotificationCenter::post(const QString& name)
{
    if (m_dispatcher.isMainThread()) {
        deliver(name);
        return;
    }
    m_dispatcher.async([this, name] { deliver(name); });
}

void NotificationCenter::deliver(const QString& name)
{
    // Observers are called outside the lock, in registration order; one removed by an
    // earlier observer of the same post is skipped.
    std::vector<Token> tokens;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [token, entry] : m_observers)
            if (entry.name == name)
                tokens.push_back(token);
    }
    for (Token token : tokens) {
        Observer observer;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_observers.find(token);
            if (it == m_observers.end())
                continue;
            observer = it->second.observer;
        }
        observer();
    }
}

} // namespace ostrevane
