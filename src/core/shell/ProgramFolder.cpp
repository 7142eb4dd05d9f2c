#include "core/shell/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrevane {

namespace {

constexpr int unpackTimeoutMs = 300 * 1000;

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool failErrno(QString* error) { return fail(error, QString::fromLocal8Bit(std::strerror(errno))); }

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// A new empty folder beside `destination` (".<name>.new-XXXXXX"), on the same file
// system, so that renaming it into place cannot half-succeed.
QString makeStage(const QString& destination, QString* error)
{
    const QFileInfo info(destination);
    const QString parent = info.absolutePath();
    if (!QDir().mkpath(parent)) {
        failErrno(error);
        return {};
    }
    QByteArray pattern = native(parent + QStringLiteral("/.") + info.fileName() + QStringLiteral(".new-XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        failErrno(error);
        return {};
    }
    return QFile::decodeName(pattern);
}

bool copyEntry(const QFileInfo& entry, const QString& target, QString* error);

bool copyTree(const QString& from, const QString& to, QString* error)
{
    const QDir source(from);
    const QDir::Filters all = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    for (const QFileInfo& entry : source.entryInfoList(all))
        if (!copyEntry(entry, to + QLatin1Char('/') + entry.fileName(), error))
            return false;
    return true;
}

// Links stay links (with their own target text), folders keep their permissions.
bool copyEntry(const QFileInfo& entry, const QString& target, QString* error)
{
    const QByteArray source = native(entry.filePath());
    struct stat status {};
    if (::lstat(source.constData(), &status) != 0)
        return failErrno(error);
    if (S_ISLNK(status.st_mode)) {
        QByteArray link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(source.constData(), link.data(), size_t(link.size()));
        if (length < 0)
            return failErrno(error);
        link.truncate(length);
        return ::symlink(link.constData(), native(target).constData()) == 0 || failErrno(error);
    }
    if (S_ISDIR(status.st_mode)) {
        if (::mkdir(native(target).constData(), status.st_mode & 07777) != 0)
            return failErrno(error);
        return copyTree(entry.filePath(), target, error);
    }
    QFile file(entry.filePath());
    return file.copy(target) || fail(error, file.errorString());
}

void removeTree(const QString& path)
{
    if (!path.isEmpty())
        QDir(path).removeRecursively();
}

// The one folder an archive unpacked into `stage` holds, when it is a program folder.
QString unpackedFolder(const QString& stage)
{
    const QFileInfoList entries = QDir(stage).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (entries.size() != 1 || !entries.front().isDir() || entries.front().isSymLink())
        return {};
    const QString folder = entries.front().filePath();
    const QFileInfo binary(folder + QLatin1Char('/') + ProgramFolder::binaryPath);
    if (!binary.isFile() || !binary.isExecutable() || !QFileInfo::exists(folder + QLatin1Char('/') + ProgramFolder::markerPath))
        return {};
    return folder;
}

bool unpack(const QByteArray& archive, const QString& into, QString* error)
{
    const QString tar = QStandardPaths::findExecutable(QStringLiteral("tar"));
    if (tar.isEmpty())
        return fail(error, QStringLiteral("tar: not found"));
    QProcess process;
    process.setProgram(tar);
    process.setArguments({QStringLiteral("-xzf"), QStringLiteral("-"), QStringLiteral("-C"), into,
                          QStringLiteral("--no-same-owner")});
    process.start();
    if (!process.waitForStarted())
        return fail(error, process.errorString());
    process.write(archive);
    process.closeWriteChannel();
    if (!process.waitForFinished(unpackTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return fail(error, QStringLiteral("tar: timed out"));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return fail(error, QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
    return true;
}

// Exec= quoting of desktop entries: reserved characters put the argument in double
// quotes, inside which " ` $ \ are escaped; then the string escape doubles every
// backslash and field codes need %%.
QString execArgument(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString argument = path;
    if (std::any_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); })) {
        argument.clear();
        for (const QChar c : path) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                argument += u'\\';
            argument += c;
        }
        argument = u'"' + argument + u'"';
    }
    return argument.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("%%"));
}

QString stringValue(const QString& text) { return QString(text).replace(u'\\', QStringLiteral("\\\\")); }

// "Exec=ostrevane --preferences" becomes "Exec=<binary> --preferences".
QString rewriteExec(const QString& value, const QString& binary)
{
    const qsizetype space = value.indexOf(u' ');
    return execArgument(binary) + (space < 0 ? QString() : value.mid(space));
}

} // namespace

QString ProgramFolder::containing(const QString& binary)
{
    const QFileInfo folder(QFileInfo(binary).absolutePath());
    if (folder.fileName() != u"bin")
        return {};
    return folder.absolutePath();
}

QStringList ProgramFolder::helperCandidates(const QString& binaryFolder, const QString& name)
{
    return {binaryFolder + QLatin1Char('/') + name, binaryFolder + QStringLiteral("/../lib/ostrevane/") + name,
            binaryFolder + QStringLiteral("/../libexec/ostrevane/") + name};
}

ProgramFolder::Kind ProgramFolder::kind(const QString& folder)
{
    if (folder.isEmpty())
        return Kind::other;
    const QString path = QDir::cleanPath(folder) + QLatin1Char('/');
    if (path.startsWith(QLatin1String("/usr/")) && !path.startsWith(QLatin1String("/usr/local/")))
        return Kind::packageManaged;
    if (!QFileInfo::exists(folder + QLatin1Char('/') + markerPath))
        return Kind::other;
    const QByteArray parent = native(QFileInfo(folder).absolutePath());
    return ::access(parent.constData(), W_OK) == 0 ? Kind::relocatable : Kind::unwritable;
}

bool ProgramFolder::install(const QString& source, const QString& destination, QString* error,
                            const std::function<void()>& beforeReplacing)
{
    const QString stage = makeStage(destination, error);
    if (stage.isEmpty())
        return false;
    const bool staged = copyTree(source, stage, error) && (::chmod(native(stage).constData(), 0755) == 0 || failErrno(error));
    if (staged && beforeReplacing)
        beforeReplacing();
    if (staged && replace(stage, destination, error))
        return true;
    removeTree(stage);
    return false;
}

bool ProgramFolder::installArchive(const QByteArray& archive, const QString& folder, QString* error)
{
    const QString stage = makeStage(folder, error);
    if (stage.isEmpty())
        return false;
    bool done = unpack(archive, stage, error);
    if (done) {
        const QString unpacked = unpackedFolder(stage);
        done = unpacked.isEmpty() ? fail(error, QStringLiteral("the archive holds no program folder"))
                                  : replace(unpacked, folder, error);
    }
    removeTree(stage);
    return done;
}

bool ProgramFolder::replace(const QString& staged, const QString& destination, QString* error)
{
    const QByteArray from = native(staged);
    const QByteArray to = native(destination);
    if (!QFileInfo::exists(destination) && !QFileInfo(destination).isSymLink())
        return ::rename(from.constData(), to.constData()) == 0 || failErrno(error);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        removeTree(staged); // now the old folder
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return failErrno(error);
    // No atomic exchange here: move the old folder aside, then the new one in.
    const QString aside = makeStage(destination, error);
    if (aside.isEmpty())
        return false;
    if (::rename(to.constData(), native(aside).constData()) != 0) {
        const bool failed = failErrno(error);
        ::rmdir(native(aside).constData());
        return failed;
    }
    if (::rename(from.constData(), to.constData()) != 0) {
        const bool failed = failErrno(error);
        ::rename(native(aside).constData(), to.constData());
        return failed;
    }
    removeTree(aside);
    return true;
}

QByteArray ProgramFolder::desktopEntryFor(const QString& folder, QString* error)
{
    QFile file(folder + QLatin1Char('/') + desktopEntryPath);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, file.errorString());
        return {};
    }
    if (folder.contains(u'\n') || folder.contains(u'\r')) {
        fail(error, QStringLiteral("the folder's name holds a line break"));
        return {};
    }
    const QString binary = folder + QLatin1Char('/') + binaryPath;
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            line = QStringLiteral("Exec=") + rewriteExec(line.mid(5), binary);
        else if (line.startsWith(QLatin1String("TryExec=")))
            line = QStringLiteral("TryExec=") + stringValue(binary);
        else if (line.startsWith(QLatin1String("Icon=")))
            line = QStringLiteral("Icon=") + stringValue(folder + QLatin1Char('/') + iconPath);
    }
    return lines.join(u'\n').toUtf8();
}

} // namespace ostrevane
