#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <tuple>
#include <vector>

namespace ostrevane::test {

// Environment variables set for one test and restored after it.
class ScopedEnvironment {
public:
    void set(const char* name, const QByteArray& value)
    {
        m_saved.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            const auto& [name, value, wasSet] = *it;
            if (wasSet)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
    }

private:
    std::vector<std::tuple<const char*, QByteArray, bool>> m_saved;
};

} // namespace ostrevane::test
