#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <optional>

namespace ostrevane {

class Accessibility;
class Dispatcher;
class UserDefaults;

// Where the first-run guide stands. Raw values are the enum values; above 6 is no stage.
enum class OnboardingStage {
    idle = 0,        // no guide
    permissions = 1, // guide window, permission page
    summon = 2,      // guide window, summon page
    panelBasics = 3, // panel overlay
    movement = 4,    // panel overlay
    actions = 5,     // panel overlay
    complete = 6,    // nothing shown; returns to idle shortly
};

namespace OnboardingStages {
const QList<OnboardingStage>& allCases();
std::optional<OnboardingStage> fromRawValue(int raw);
} // namespace OnboardingStages

// The guide's state machine, shared by the guide window and the panel overlay. Lives on
// the main thread; every call is made there.
class OnboardingManager : public QObject {
    Q_OBJECT

public:
    static inline const QString didCompleteKey = QStringLiteral("Ostrevane.DidCompleteInteractiveOnboarding");
    static inline const QString hasSeenWelcomeKey = QStringLiteral("Ostrevane.HasSeenWelcome");
    // How long `complete` is shown before the guide goes back to idle.
    static constexpr double completeToIdleDelay = 0.4;

    OnboardingManager(Accessibility& accessibility, UserDefaults& defaults, Dispatcher& dispatcher);
    static OnboardingManager& shared();

    OnboardingStage stage() const { return m_stage; }
    // Emits stageChanged when the stage differs from the current one.
    void setStage(OnboardingStage stage);

    // permissions → summon; other stages unchanged.
    void permissionDidBecomeTrusted();
    // summon → panelBasics; called each time the panel is shown.
    void panelDidShow();
    // movement → actions; called each time the highlight moves.
    void noteMove();
    // The overlay's Next/Done: one stage on; permissions moves only while the process
    // is trusted for accessibility; actions completes; idle and complete stay.
    void advance();
    // Remembers that the guide was finished or skipped, shows `complete`, and goes back
    // to idle after completeToIdleDelay unless the stage changed meanwhile.
    void complete();

signals:
    void stageChanged(ostrevane::OnboardingStage stage);

private:
    Accessibility& m_accessibility;
    UserDefaults& m_defaults;
    Dispatcher& m_dispatcher;
    OnboardingStage m_stage = OnboardingStage::idle;
};

// What the guide strip inside the panel shows, as plain localized texts; the panel
// overlay draws it.
struct OnboardingOverlayContent {
    struct KeyCap {
        QString label;   // "⌥", "W", "↩", ...
        QString caption; // empty unless the cap is explained ("summons the panel")
        bool pulses = false; // a key the stage teaches; hints for an empty list stay still
        friend bool operator==(const KeyCap&, const KeyCap&) = default;
    };

    QString title;
    QString detail;
    QList<KeyCap> keyCaps;
    // One dot each for panelBasics, movement and actions: lit unless its stage is later
    // than the current one.
    std::array<bool, 3> progressDotsLit{};
    QString skipButton;    // "Skip"
    QString primaryButton; // "Done" on the last stage, else "Next"

    // The content for a stage of the panel overlay; nothing for the other stages,
    // where the overlay is not shown.
    static std::optional<OnboardingOverlayContent> forStage(OnboardingStage stage, bool hasItems,
                                                            bool isInDetailView);
};

} // namespace ostrevane
