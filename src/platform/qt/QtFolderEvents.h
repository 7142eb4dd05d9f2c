#pragma once

#include "core/platform/SystemServices.h"

#include <QString>

#include <map>
#include <mutex>
#include <thread>

namespace ostrevane {

// Folder change events from the kernel (inotify). One watcher thread reads the events
// and calls the callbacks there, outside the lock, so a callback may watch or unwatch.
// A change is any addition, removal, rename, attribute change or finished write (a
// writer closing the file) of the folder's own entries, or the folder itself being
// removed or moved; changes deeper down are not reported. Linux only.
class QtFolderEvents : public FolderEvents {
public:
    QtFolderEvents();
    // Stops the watcher thread; no callback runs after it returns.
    ~QtFolderEvents() override;
    QtFolderEvents(const QtFolderEvents&) = delete;
    QtFolderEvents& operator=(const QtFolderEvents&) = delete;

    // 0 when `folder` is not a folder, cannot be watched or inotify is unavailable.
    Token watch(const QString& folder, std::function<void()> onChange) override;
    // No new events reach the token's callback; one already under way may still finish.
    void unwatch(Token token) override;

private:
    struct Watch {
        int descriptor;
        std::function<void()> onChange;
    };
    void run();
    void dispatch(const char* buffer, long length);
    void forgetDescriptorLocked(int descriptor);

    int m_inotify = -1;
    int m_wakeup = -1; // eventfd that ends the watcher thread
    std::mutex m_mutex;
    std::map<Token, Watch> m_watches;
    Token m_next = 1;
    std::thread m_thread;
};

} // namespace ostrevane
