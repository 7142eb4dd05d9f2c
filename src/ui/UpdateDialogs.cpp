#include "ui/UpdateDialogs.h"

#include "core/model/Localization.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace ostrevane {

namespace {

QString localized(const char* text) { return Localization::shared().string(text); }

void bringToFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

// Notes come from the feed: shown as rich text when they look like it, links open in
// the browser only when they are web addresses.
QTextBrowser* notesView(const UpdateUserDriver::Offer& offer)
{
    auto* view = new QTextBrowser;
    view->setOpenLinks(false);
    QObject::connect(view, &QTextBrowser::anchorClicked, view, [](const QUrl& url) {
        if (url.scheme() == u"https" || url.scheme() == u"http")
            QDesktopServices::openUrl(url);
    });
    if (!offer.notes.isEmpty() && Qt::mightBeRichText(offer.notes))
        view->setHtml(offer.notes);
    else if (!offer.notes.isEmpty())
        view->setPlainText(offer.notes);
    else if (!offer.notesURL.isEmpty())
        view->setHtml(QStringLiteral("<a href=\"%1\">%1</a>").arg(offer.notesURL.toHtmlEscaped()));
    return view;
}

QString offerText(const UpdateUserDriver::Offer& offer)
{
    const QString available = Localization::shared().format(
        QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane %@ is now available (you have %@)."),
        {offer.version, offer.currentVersion});
    if (!offer.installable)
        return available + u' ' + offer.cannotInstallReason;
    return available + u' ' + localized(QT_TRANSLATE_NOOP("Ostrevane", "Would you like to install it now?"));
}

} // namespace

UpdateDialogs::UpdateDialogs() = default;

UpdateDialogs::~UpdateDialogs()
{
    for (QWidget* window : std::initializer_list<QWidget*>{m_message, m_offer, m_progress})
        delete window;
}

void UpdateDialogs::showMessage(const Message& message)
{
    delete m_message;
    m_message = new QMessageBox(message.warning ? QMessageBox::Warning : QMessageBox::Information, message.title,
                                message.title);
    m_message->setInformativeText(message.text);
    m_message->addButton(localized(QT_TRANSLATE_NOOP("Ostrevane", "OK")), QMessageBox::AcceptRole);
    m_message->setAttribute(Qt::WA_DeleteOnClose);
    bringToFront(m_message);
}

QMessageBox* UpdateDialogs::question(const QString& title, const QString& text, const QString& yes, const QString& no,
                                     std::function<void(bool)> reply)
{
    delete m_message;
    m_message = new QMessageBox(QMessageBox::Question, title, title);
    m_message->setInformativeText(text);
    QPushButton* yesButton = m_message->addButton(yes, QMessageBox::AcceptRole);
    QPushButton* noButton = m_message->addButton(no, QMessageBox::RejectRole);
    m_message->setDefaultButton(yesButton);
    m_message->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_message, &QMessageBox::buttonClicked, this, [yesButton, noButton, reply](QAbstractButton* button) {
        if (button == yesButton || button == noButton)
            reply(button == yesButton);
    });
    bringToFront(m_message);
    return m_message;
}

void UpdateDialogs::askToCheckAutomatically(std::function<void(bool yes)> reply)
{
    question(localized(QT_TRANSLATE_NOOP("Ostrevane", "Check for updates automatically?")),
             localized(QT_TRANSLATE_NOOP("Ostrevane", "Should Ostrevane look for a new version once a day? You can change "
                                               "this in the preferences at any time.")),
             localized(QT_TRANSLATE_NOOP("Ostrevane", "Check Automatically")),
             localized(QT_TRANSLATE_NOOP("Ostrevane", "Don't Check")), std::move(reply));
}

void UpdateDialogs::askToRestart(const QString& version, std::function<void(bool now)> reply)
{
    question(Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane %@ is installed"), {version}),
             localized(QT_TRANSLATE_NOOP("Ostrevane", "The new version runs from the next start. Restart Ostrevane now?")),
             localized(QT_TRANSLATE_NOOP("Ostrevane", "Restart Now")), localized(QT_TRANSLATE_NOOP("Ostrevane", "Later")),
             std::move(reply));
}

void UpdateDialogs::showUpdateFound(const Offer& offer, std::function<void(Choice)> reply)
{
    delete m_offer;
    m_offer = new QDialog;
    m_offer->setAttribute(Qt::WA_DeleteOnClose);
    m_offer->setWindowTitle(localized(QT_TRANSLATE_NOOP("Ostrevane", "Software Update")));
    m_offer->setMinimumSize(520, 380);
    auto* layout = new QVBoxLayout(m_offer);
    auto* heading = new QLabel(localized(QT_TRANSLATE_NOOP("Ostrevane", "A new version of Ostrevane is available!")));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* text = new QLabel(offerText(offer));
    text->setWordWrap(true);
    layout->addWidget(heading);
    layout->addWidget(text);
    layout->addWidget(new QLabel(localized(QT_TRANSLATE_NOOP("Ostrevane", "Release Notes:"))));
    layout->addWidget(notesView(offer), 1);

    auto* buttons = new QDialogButtonBox;
    const auto add = [&](const char* title, QDialogButtonBox::ButtonRole role, Choice choice) {
        QPushButton* button = buttons->addButton(localized(title), role);
        connect(button, &QPushButton::clicked, m_offer, [dialog = m_offer.data(), reply, choice] {
            dialog->close();
            reply(choice);
        });
        return button;
    };
    add(QT_TRANSLATE_NOOP("Ostrevane", "Skip This Version"), QDialogButtonBox::ResetRole, Choice::skipThisVersion);
    QPushButton* preferred = nullptr;
    if (offer.installable) {
        add(QT_TRANSLATE_NOOP("Ostrevane", "Remind Me Later"), QDialogButtonBox::RejectRole, Choice::remindLater);
        preferred = add(QT_TRANSLATE_NOOP("Ostrevane", "Install Update"), QDialogButtonBox::AcceptRole, Choice::install);
    } else {
        preferred = add(QT_TRANSLATE_NOOP("Ostrevane", "OK"), QDialogButtonBox::AcceptRole, Choice::remindLater);
    }
    layout->addWidget(buttons);
    // Return presses the preferred button: a focused button would otherwise take it over.
    preferred->setDefault(true);
    bringToFront(m_offer);
    preferred->setFocus();
}

void UpdateDialogs::showDownloadProgress(qint64 received, qint64 total, std::function<void()> cancel)
{
    if (!m_progress) {
        m_progress = new QProgressDialog(localized(QT_TRANSLATE_NOOP("Ostrevane", "Downloading update…")),
                                         localized(QT_TRANSLATE_NOOP("Ostrevane", "Cancel")), 0, 0);
        m_progress->setWindowTitle(localized(QT_TRANSLATE_NOOP("Ostrevane", "Software Update")));
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setMinimumDuration(0);
        m_progress->setAttribute(Qt::WA_DeleteOnClose);
        bringToFront(m_progress);
    }
    disconnect(m_progress, &QProgressDialog::canceled, this, nullptr);
    connect(m_progress, &QProgressDialog::canceled, this, [cancel] { cancel(); });
    // Kilobytes keep any archive within the dialog's int range.
    m_progress->setMaximum(total > 0 ? int(total / 1024) + 1 : 0);
    m_progress->setValue(total > 0 ? int(received / 1024) : 0);
}

void UpdateDialogs::hideDownloadProgress()
{
    if (!m_progress)
        return;
    disconnect(m_progress, &QProgressDialog::canceled, this, nullptr); // closing is no cancel
    m_progress->close();
    m_progress = nullptr; // it deletes itself; the next download opens a new one
}

} // namespace ostrevane
