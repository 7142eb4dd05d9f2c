#include "ui/FeedbackPane.h"

#include "core/preferences/FeedbackSupport.h"
#include "core/model/Localization.h"
#include "core/preferences/PrefColors.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"
#include "ui/SymbolIcons.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrevane {

namespace {

constexpr const char* kBullets[] = {
    QT_TRANSLATE_NOOP("Ostrevane", "What you expected to happen."),
    QT_TRANSLATE_NOOP("Ostrevane", "What actually happened."),
    QT_TRANSLATE_NOOP("Ostrevane", "The app/window/tab you were switching, if relevant."),
    QT_TRANSLATE_NOOP("Ostrevane", "Whether it happens every time or only sometimes."),
};

} // namespace

FeedbackPane::FeedbackPane(const PreferencesEnvironment& environment, QWidget* parent)
    : PreferencesPaneView(PreferencesPane::feedback, environment, parent)
{
    SettingsSection* section = addSection(QT_TRANSLATE_NOOP("Ostrevane", "Send Feedback"));
    buildGuidance(section);

    auto* actions = new QWidget(this);
    auto* line = new QHBoxLayout(actions);
    line->setContentsMargins(14, 10, 14, 12);
    line->setSpacing(10);
    m_copy = symbolButton(QStringLiteral("doc.on.doc"), actions);
    m_openIssue = symbolButton(QStringLiteral("arrow.up.right.square"), actions);
    texts().setText(m_openIssue, QT_TRANSLATE_NOOP("Ostrevane", "Open GitHub Issue"));
    m_openIssue->setEnabled(!FeedbackSupport::issuesURL().isEmpty());
    line->addWidget(m_copy);
    line->addWidget(m_openIssue);
    line->addStretch(1);
    section->addWidget(actions);
    detail()->finish();

    connect(m_copy, &QPushButton::clicked, this, &FeedbackPane::copyDiagnostics);
    connect(m_openIssue, &QPushButton::clicked, this, &FeedbackPane::openIssue);
    reload();
}

void FeedbackPane::buildGuidance(SettingsSection* section)
{
    auto* guidance = new QWidget(this);
    auto* column = new QVBoxLayout(guidance);
    column->setContentsMargins(14, 12, 14, 4);
    column->setSpacing(4);
    auto* heading = new QLabel(guidance);
    PreferencesStyle::setRole(heading, "rowTitle");
    texts().setText(heading, QT_TRANSLATE_NOOP("Ostrevane", "What to include"));
    column->addWidget(heading);
    for (const char* bullet : kBullets) {
        auto* label = new QLabel(guidance);
        PreferencesStyle::setRole(label, "rowDetail");
        label->setWordWrap(true);
        texts().bind(label, [bullet] { return QStringLiteral("•  ") + Localization::shared().string(bullet); },
                     [label](const QString& text) { label->setText(text); });
        column->addWidget(label);
    }

    auto* tip = new QWidget(guidance);
    auto* tipLine = new QHBoxLayout(tip);
    tipLine->setContentsMargins(0, 8, 0, 0);
    auto* symbol = new QLabel(tip);
    symbol->setPixmap(SymbolIcons::pixmap(QStringLiteral("checkmark.circle.fill"), 16,
                                          QColor::fromRgbF(0.3f, 0.86f, 0.48f), devicePixelRatioF()));
    auto* text = new QLabel(tip);
    PreferencesStyle::setRole(text, "rowDetail");
    text->setWordWrap(true);
    texts().setText(text, QT_TRANSLATE_NOOP("Ostrevane", "Bug reports are most useful with the copied diagnostics "
                                                         "attached. They do not include window titles, tab URLs, or "
                                                         "personal content."));
    tipLine->addWidget(symbol, 0, Qt::AlignTop);
    tipLine->addWidget(text, 1);
    column->addWidget(tip);
    section->addWidget(guidance);
}

void FeedbackPane::reload()
{
    m_copy->setText(Localization::shared().string(m_copied ? QT_TRANSLATE_NOOP("Ostrevane", "Copied")
                                                           : QT_TRANSLATE_NOOP("Ostrevane", "Copy Diagnostics")));
    setButtonSymbol(m_copy, m_copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"));
}

void FeedbackPane::copyDiagnostics()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(FeedbackSupport::diagnosticsText());
    m_copied = true;
    reload();
    // Each copy schedules its own return, so quick copies end 1.4 s after the first.
    QPointer<FeedbackPane> self(this);
    RuntimeContext::current().dispatcher().asyncAfter(copiedDuration, [self] {
        if (!self)
            return;
        self->m_copied = false;
        self->reload();
    });
}

void FeedbackPane::openIssue()
{
    const QUrl& url = FeedbackSupport::issuesURL();
    if (!url.isEmpty())
        RuntimeContext::current().workspace().openURL(url.toString(QUrl::FullyEncoded));
}

} // namespace ostrevane
