#pragma once

#include <QByteArray>
#include <QString>

namespace ostrevane {

// An ed25519 key pair for tests, made fresh, signing as a release would be signed.
class UpdateSigningKey {
public:
    UpdateSigningKey();
    ~UpdateSigningKey();
    UpdateSigningKey(const UpdateSigningKey&) = delete;
    UpdateSigningKey& operator=(const UpdateSigningKey&) = delete;

    QByteArray publicKeyBase64() const;
    QByteArray signBase64(const QByteArray& data) const;

private:
    void* m_key; // EVP_PKEY
};

// A relocatable program folder in `parent`/`name` whose bin/ostrevane is a shell script
// printing `version`; returns its path.
QString makeProgramFolder(const QString& parent, const QString& name, const QString& version);
// What the folder's program prints when run (its version), or "<not runnable>".
QString runProgramFolder(const QString& folder);
// A .tar.gz of `folder` (under its own name), as the relocatable archive is built.
QByteArray archiveOf(const QString& folder);

// Makes a folder that not even root may rename, for as long as it lives: immutable
// where the file system allows it (tests run as root in CI), else its parent read-only.
class Unremovable {
public:
    explicit Unremovable(QString folder);
    ~Unremovable();
    Unremovable(const Unremovable&) = delete;
    Unremovable& operator=(const Unremovable&) = delete;
    // False when this file system cannot do it (the test is then skipped).
    bool held() const { return m_held; }

private:
    QString m_folder;
    bool m_held = false;
};

} // namespace ostrevane
