#include "core/onboarding/OnboardingManager.h"

#include "core/input/KeyCodeNames.h"
#include "core/model/Localization.h"
#include "core/panel/PanelKeyRules.h"
#include "core/shell/RuntimeContext.h"
#include "core/input/ShortcutStore.h"
#include "core/preferences/UserDefaults.h"
#include "core/platform/Accessibility.h"
#include "core/platform/Dispatcher.h"

#include <QPointer>

namespace ostrevane {

namespace OnboardingStages {

const QList<OnboardingStage>& allCases()
{
    static const QList<OnboardingStage> cases{
        OnboardingStage::idle,     OnboardingStage::permissions, OnboardingStage::summon,  OnboardingStage::panelBasics,
        OnboardingStage::movement, OnboardingStage::actions,     OnboardingStage::complete,
    };
    return cases;
}

std::optional<OnboardingStage> fromRawValue(int raw)
{
    if (raw < 0 || raw >= allCases().size())
        return std::nullopt;
    return static_cast<OnboardingStage>(raw);
}

} // namespace OnboardingStages

OnboardingManager::OnboardingManager(Accessibility& accessibility, UserDefaults& defaults, Dispatcher& dispatcher)
    : m_accessibility(accessibility), m_defaults(defaults), m_dispatcher(dispatcher)
{
}

OnboardingManager& OnboardingManager::shared()
{
    return RuntimeContext::current().singleton<OnboardingManager>([](RuntimeContext& c) {
        return std::make_unique<OnboardingManager>(c.accessibility(), c.defaults(), c.dispatcher());
    });
}

void OnboardingManager::setStage(OnboardingStage stage)
{
    if (stage == m_stage)
        return;
    m_stage = stage;
    emit stageChanged(stage);
}

void OnboardingManager::permissionDidBecomeTrusted()
{
    if (m_stage == OnboardingStage::permissions)
        setStage(OnboardingStage::summon);
}

void OnboardingManager::panelDidShow()
{
    if (m_stage == OnboardingStage::summon)
        setStage(OnboardingStage::panelBasics);
}

void OnboardingManager::noteMove()
{
    if (m_stage == OnboardingStage::movement)
        setStage(OnboardingStage::actions);
}

void OnboardingManager::advance()
{
    switch (m_stage) {
    case OnboardingStage::idle:
    case OnboardingStage::complete:
        return;
    case OnboardingStage::permissions:
        if (m_accessibility.isProcessTrusted())
            setStage(OnboardingStage::summon);
        return;
    case OnboardingStage::summon:
        setStage(OnboardingStage::panelBasics);
        return;
    case OnboardingStage::panelBasics:
        setStage(OnboardingStage::movement);
        return;
    case OnboardingStage::movement:
        setStage(OnboardingStage::actions);
        return;
    case OnboardingStage::actions:
        complete();
        return;
    }
}

void OnboardingManager::complete()
{
    m_defaults.set(didCompleteKey, true);
    m_defaults.set(hasSeenWelcomeKey, true);
    setStage(OnboardingStage::complete);
    // The guide may have been restarted within the delay; then it is left alone.
    QPointer<OnboardingManager> self(this);
    m_dispatcher.asyncAfter(completeToIdleDelay, [self] {
        if (self && self->m_stage == OnboardingStage::complete)
            self->setStage(OnboardingStage::idle);
    });
}

namespace {

using KeyCap = OnboardingOverlayContent::KeyCap;

QString localized(const char* english) { return Localization::shared().string(english); }
// Texts that name the Option key read "Alt" on a Linux desktop.
QString platformLocalized(const char* macText) { return Localization::shared().platformString(macText); }

KeyCap taught(const QString& label) { return {label, {}, true}; }
KeyCap hint(const QString& label) { return {label, {}, false}; }
// A key cap as the desktop names the key (glyphs on the Mac, "Esc" on Linux).
QString keyName(quint32 keyCode) { return KeyCodeNames::name(keyCode, currentChordStyle()); }

void fillPanelBasics(OnboardingOverlayContent& content, bool hasItems)
{
    content.title = localized(QT_TRANSLATE_NOOP("Ostrevane", "This is the switcher"));
    content.detail = hasItems
        ? platformLocalized(QT_TRANSLATE_NOOP("Ostrevane",
                               "Hold Option to keep the panel open. Use the keys shown here while holding Option; "
                               "outside the guide, releasing Option opens the highlighted row."))
        : localized(QT_TRANSLATE_NOOP("Ostrevane",
                               "No open windows were found. You can still press Enter to search installed apps, "
                               "or open an app and try again."));
    content.keyCaps = {{modifierName(CarbonModifier::option, currentChordStyle()), localized(QT_TRANSLATE_NOOP("Ostrevane", "summons the panel")), true}};
}

void fillMovement(OnboardingOverlayContent& content, bool hasItems)
{
    if (hasItems) {
        content.title = localized(QT_TRANSLATE_NOOP("Ostrevane", "Move through the list"));
        content.detail = platformLocalized(QT_TRANSLATE_NOOP("Ostrevane", "Keep holding Option, then use W/S or Tab to move the "
                                                           "highlight. A/D enters or leaves groups."));
    } else {
        content.title = localized(QT_TRANSLATE_NOOP("Ostrevane", "No windows yet"));
        content.detail = localized(QT_TRANSLATE_NOOP("Ostrevane", "When items appear, W/S moves the highlight. For now, "
                                                           "press Enter to search or Esc to close."));
    }
    content.keyCaps = {taught("W"), taught("A"), taught("S"), taught("D")};
    if (!hasItems)
        content.keyCaps << hint(keyName(PanelKeyCode::returnKey)) << hint(keyName(PanelKeyCode::escape));
}

// Inside a group's detail view A (back) replaces Q (desktop), as the text says.
void fillActions(OnboardingOverlayContent& content, bool isInDetailView)
{
    content.title = localized(QT_TRANSLATE_NOOP("Ostrevane", "Action keys"));
    if (isInDetailView) {
        content.detail = platformLocalized(QT_TRANSLATE_NOOP("Ostrevane", "While holding Option, use A to go back, X to close a tab "
                                                           "or window, and Esc to leave without opening anything."));
        content.keyCaps = {taught("A"), taught("X"), taught(keyName(PanelKeyCode::escape))};
    } else {
        content.detail = platformLocalized(QT_TRANSLATE_NOOP("Ostrevane", "While holding Option, use Q for Desktop and X to close "
                                                           "when a row supports it. Esc closes Ostrevane without "
                                                           "opening anything."));
        content.keyCaps = {taught("Q"), taught("X"), taught(keyName(PanelKeyCode::escape))};
    }
}

} // namespace

std::optional<OnboardingOverlayContent> OnboardingOverlayContent::forStage(OnboardingStage stage, bool hasItems,
                                                                           bool isInDetailView)
{
    OnboardingOverlayContent content;
    switch (stage) {
    case OnboardingStage::panelBasics:
        fillPanelBasics(content, hasItems);
        break;
    case OnboardingStage::movement:
        fillMovement(content, hasItems);
        break;
    case OnboardingStage::actions:
        fillActions(content, isInDetailView);
        break;
    default:
        return std::nullopt;
    }
    const std::array<OnboardingStage, 3> dotStages{OnboardingStage::panelBasics, OnboardingStage::movement,
                                                   OnboardingStage::actions};
    for (size_t i = 0; i < dotStages.size(); ++i)
        content.progressDotsLit[i] = dotStages[i] <= stage;
    content.skipButton = localized(QT_TRANSLATE_NOOP("Ostrevane", "Skip"));
    content.primaryButton = stage == OnboardingStage::actions ? localized(QT_TRANSLATE_NOOP("Ostrevane", "Done"))
                                                              : localized(QT_TRANSLATE_NOOP("Ostrevane", "Next"));
    return content;
}

} // namespace ostrevane
