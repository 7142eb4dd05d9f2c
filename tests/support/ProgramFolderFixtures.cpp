#include "support/ProgramFolderFixtures.h"

#include "core/shell/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <openssl/evp.h>

#include <unistd.h>

namespace ostrevane {

UpdateSigningKey::UpdateSigningKey()
{
    EVP_PKEY* key = nullptr;
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    if (context && EVP_PKEY_keygen_init(context) == 1)
        EVP_PKEY_keygen(context, &key);
    EVP_PKEY_CTX_free(context);
    m_key = key;
}

UpdateSigningKey::~UpdateSigningKey() { EVP_PKEY_free(static_cast<EVP_PKEY*>(m_key)); }

QByteArray UpdateSigningKey::publicKeyBase64() const
{
    QByteArray raw(32, '\0');
    size_t length = size_t(raw.size());
    EVP_PKEY_get_raw_public_key(static_cast<EVP_PKEY*>(m_key), reinterpret_cast<unsigned char*>(raw.data()), &length);
    return raw.left(qsizetype(length)).toBase64();
}

QByteArray UpdateSigningKey::signBase64(const QByteArray& data) const
{
    QByteArray signature(64, '\0');
    size_t length = size_t(signature.size());
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestSignInit(context, nullptr, nullptr, nullptr, static_cast<EVP_PKEY*>(m_key));
    EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                   reinterpret_cast<const unsigned char*>(data.constData()), size_t(data.size()));
    EVP_MD_CTX_free(context);
    return signature.left(qsizetype(length)).toBase64();
}

QString makeProgramFolder(const QString& parent, const QString& name, const QString& version)
{
    const QString folder = parent + u'/' + name;
    const auto write = [&](const QString& relative, const QByteArray& text) {
        QDir().mkpath(QFileInfo(folder + u'/' + relative).absolutePath());
        QFile file(folder + u'/' + relative);
        file.open(QIODevice::WriteOnly);
        file.write(text);
    };
    write(ProgramFolder::binaryPath, "#!/bin/sh\necho " + version.toUtf8() + "\n");
    QFile::setPermissions(folder + u'/' + ProgramFolder::binaryPath,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    write(ProgramFolder::markerPath, "relocatable\n");
    write(ProgramFolder::desktopEntryPath, "[Desktop Entry]\nType=Application\nName=Ostrevane\nExec=ostrevane\n"
                                           "TryExec=ostrevane\nIcon=com.local.ostrevane\nActions=Preferences;\n\n"
                                           "[Desktop Action Preferences]\nName=Preferences\n"
                                           "Exec=ostrevane --preferences\n");
    write(ProgramFolder::iconPath, "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n");
    return folder;
}

QString runProgramFolder(const QString& folder)
{
    QProcess process;
    process.start(folder + u'/' + ProgramFolder::binaryPath, {});
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return QStringLiteral("<not runnable>");
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QByteArray archiveOf(const QString& folder)
{
    const QFileInfo info(folder);
    QProcess tar;
    tar.start(QStringLiteral("tar"), {QStringLiteral("-czf"), QStringLiteral("-"), QStringLiteral("-C"),
                                      info.absolutePath(), info.fileName()});
    tar.waitForFinished(30000);
    return tar.readAllStandardOutput();
}

Unremovable::Unremovable(QString folder) : m_folder(std::move(folder))
{
    if (::geteuid() == 0)
        m_held = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_folder}) == 0;
    else
        m_held = QFile::setPermissions(QFileInfo(m_folder).absolutePath(), QFile::ReadOwner | QFile::ExeOwner);
}

Unremovable::~Unremovable()
{
    if (::geteuid() == 0)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_folder});
    else
        QFile::setPermissions(QFileInfo(m_folder).absolutePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace ostrevane
