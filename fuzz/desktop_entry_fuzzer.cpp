// Desktop entries as the installed-app registry and the launcher read them, and the
// Exec lines they carry.
#include "FuzzSupport.h"

#include "core/sources/DesktopEntryReader.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

using namespace ostrevane;

namespace {

// The reader takes files: one in a private applications folder in memory (/dev/shm).
const QString& folder()
{
    static const QString path = [] {
        const QString p = QStringLiteral("/dev/shm/ostrevane-fuzz-%1/applications").arg(::getpid());
        QDir().mkpath(p);
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    static const DesktopEntryReader reader({folder()}, {QStringLiteral("GNOME")}, QStringLiteral("sr_RS.UTF-8@latin"));
    const QString path = folder() + QStringLiteral("/org.example.Fuzzed.desktop");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return 0;
    file.close();
    if (const std::optional<DesktopEntry> entry = reader.parse(path)) {
        reader.isShown(*entry);
        DesktopEntryReader::command(entry->exec);
    }
    reader.read(path);
    DesktopEntryReader::command(QString::fromUtf8(bytes));
    return 0;
}
