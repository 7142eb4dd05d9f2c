#include "platform/qt/QtFolderEvents.h"

#include <QFileInfo>
#include <QtGlobal>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace ostrevane {

namespace {

// Changes of the folder's own entries (added, removed, renamed, re-linked, written and
// closed) and of the folder itself. A file written in place (an editor that does not
// save by renaming) is reported once, when the writer closes it.
constexpr uint32_t watchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE
                                   | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Room for many events per read; each is a header plus a short name.
constexpr size_t readBufferSize = 64 * 1024;

} // namespace

QtFolderEvents::QtFolderEvents()
{
    m_inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    m_wakeup = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_inotify < 0 || m_wakeup < 0) {
        qWarning("QtFolderEvents: inotify is unavailable (%s); folders are not watched", std::strerror(errno));
        return;
    }
    m_thread = std::thread([this] { run(); });
}

QtFolderEvents::~QtFolderEvents()
{
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        if (::write(m_wakeup, &one, sizeof one) < 0)
            qWarning("QtFolderEvents: could not wake the watcher thread (%s)", std::strerror(errno));
        m_thread.join();
    }
    if (m_inotify >= 0)
        ::close(m_inotify);
    if (m_wakeup >= 0)
        ::close(m_wakeup);
}

FolderEvents::Token QtFolderEvents::watch(const QString& folder, std::function<void()> onChange)
{
    if (!m_thread.joinable() || !QFileInfo(folder).isDir())
        return 0;
    std::lock_guard lock(m_mutex);
    const int descriptor = inotify_add_watch(m_inotify, QFile::encodeName(folder).constData(), watchedEvents);
    if (descriptor < 0)
        return 0;
    // The kernel hands out one descriptor per folder; several tokens may share it.
    m_watches.emplace(m_next, Watch{descriptor, std::move(onChange)});
    return m_next++;
}

void QtFolderEvents::unwatch(Token token)
{
    std::lock_guard lock(m_mutex);
    auto it = m_watches.find(token);
    if (it == m_watches.end())
        return;
    const int descriptor = it->second.descriptor;
    m_watches.erase(it);
    for (const auto& [other, watch] : m_watches) {
        if (watch.descriptor == descriptor)
            return;
    }
    inotify_rm_watch(m_inotify, descriptor);
}

void QtFolderEvents::run()
{
    std::vector<char> buffer(readBufferSize);
    pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_wakeup, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            qWarning("QtFolderEvents: waiting for events failed (%s); folders are no longer watched",
                     std::strerror(errno));
            return;
        }
        if (fds[1].revents != 0)
            return;
        const ssize_t length = ::read(m_inotify, buffer.data(), buffer.size());
        if (length > 0)
            dispatch(buffer.data(), length);
    }
}

void QtFolderEvents::dispatch(const char* buffer, long length)
{
    std::vector<std::function<void()>> callbacks;
    {
        std::lock_guard lock(m_mutex);
        for (long offset = 0; offset + static_cast<long>(sizeof(inotify_event)) <= length;) {
            inotify_event event;
            std::memcpy(&event, buffer + offset, sizeof event); // the buffer need not be aligned for it
            offset += static_cast<long>(sizeof(inotify_event) + event.len);
            for (const auto& [token, watch] : m_watches) {
                if (watch.descriptor == event.wd && !(event.mask & IN_IGNORED))
                    callbacks.push_back(watch.onChange);
            }
            // The folder is gone (or unwatched): the kernel dropped the descriptor.
            if (event.mask & IN_IGNORED)
                forgetDescriptorLocked(event.wd);
        }
    }
    // Outside the lock, so a callback may watch or unwatch.
    for (const auto& callback : callbacks)
        callback();
}

void QtFolderEvents::forgetDescriptorLocked(int descriptor)
{
    std::erase_if(m_watches, [&](const auto& entry) { return entry.second.descriptor == descriptor; });
}

} // namespace ostrevane
