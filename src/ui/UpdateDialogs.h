#pragma once

#include "core/shell/SoftwareUpdateController.h"

#include <QDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>

namespace ostrevane {

// The updater's windows: ordinary managed windows that never block the program (the
// switcher keeps working while one is open). A new message replaces an open one; an
// open offer is raised instead of opened twice. Main thread only.
class UpdateDialogs : public QObject, public UpdateUserDriver {
    Q_OBJECT

public:
    UpdateDialogs();
    ~UpdateDialogs() override;

    void showMessage(const Message& message) override;
    void askToCheckAutomatically(std::function<void(bool yes)> reply) override;
    void showUpdateFound(const Offer& offer, std::function<void(Choice)> reply) override;
    void showDownloadProgress(qint64 received, qint64 total, std::function<void()> cancel) override;
    void hideDownloadProgress() override;
    void askToRestart(const QString& version, std::function<void(bool now)> reply) override;

    // The open windows, for tests.
    QMessageBox* openMessage() const { return m_message; }
    QDialog* openOffer() const { return m_offer; }
    QProgressDialog* openProgress() const { return m_progress; }

private:
    QMessageBox* question(const QString& title, const QString& text, const QString& yes, const QString& no,
                          std::function<void(bool)> reply);

    QPointer<QMessageBox> m_message;
    QPointer<QDialog> m_offer;
    QPointer<QProgressDialog> m_progress;
};

} // namespace ostrevane
