#pragma once

#include "ui/PreferencesPaneView.h"

class QPushButton;

namespace ostrevane {

// The Feedback pane: what a useful report holds, "Copy Diagnostics" (the diagnostics
// text to the clipboard; the button reads "Copied" for 1.4 s after each copy) and
// "Open GitHub Issue" (the tracker's new-issue page in the browser; disabled when the
// build names no tracker).
class FeedbackPane : public PreferencesPaneView {
    Q_OBJECT

public:
    static constexpr double copiedDuration = 1.4;

    explicit FeedbackPane(const PreferencesEnvironment& environment, QWidget* parent = nullptr);

    void reload() override;

    bool isCopied() const { return m_copied; }
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* openIssueButton() const { return m_openIssue; }

    void copyDiagnostics();
    void openIssue();

private:
    void buildGuidance(SettingsSection* section);

    QPushButton* m_copy = nullptr;
    QPushButton* m_openIssue = nullptr;
    bool m_copied = false;
};

} // namespace ostrevane
