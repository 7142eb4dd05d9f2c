#pragma once

// Runs bench/fake_browser (a stand-in for Chromium with the Ostrevane extension) as a
// process whose executable is named "chromium", which is how the program recognises the
// browser behind a connector. Stopped when this goes.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <csignal>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

namespace ostrevane::bench {

class BenchFakeBrowser {
public:
    // `folder` holds the copy and is the runtime folder the program listens in.
    BenchFakeBrowser(const QByteArray& display, const QString& folder, int tabs)
    {
        const QString copy = folder + QStringLiteral("/chromium");
        QFile::remove(copy);
        if (!QFile::copy(QStringLiteral(OSTREVANE_FAKE_BROWSER), copy)
            || !QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return;
        std::vector<std::string> env = {"DISPLAY=" + display.toStdString(),
                                        "XDG_RUNTIME_DIR=" + folder.toStdString()};
        std::vector<std::string> args = {copy.toStdString(), "--connector", OSTREVANE_CONNECTOR, "--tabs",
                                         std::to_string(tabs)};
        std::vector<char*> argv, envp;
        for (std::string& a : args)
            argv.push_back(a.data());
        for (std::string& e : env)
            envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
    }
    ~BenchFakeBrowser()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    BenchFakeBrowser(const BenchFakeBrowser&) = delete;
    BenchFakeBrowser& operator=(const BenchFakeBrowser&) = delete;

    bool isRunning() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

} // namespace ostrevane::bench
