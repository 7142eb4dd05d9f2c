#pragma once

#include "ui/PreferencesPaneView.h"

#include <QStringList>

class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace ostrevane {

// The Exceptions pane: the ignored applications, and the application-name and
// window-title patterns the switcher skips. Each change rewrites the whole list through
// IgnoreFilter. A typed pattern is stored without the spaces and tabs around it; one
// made only of them is not added. Duplicates and patterns that do not compile are
// stored as typed (the filter skips a bad pattern at each use).
class ExceptionsPane : public PreferencesPaneView {
    Q_OBJECT

public:
    // Which list a section edits.
    enum class List { bundleIDs, appPatterns, windowPatterns };

    explicit ExceptionsPane(const PreferencesEnvironment& environment, QWidget* parent = nullptr);

    void reload() override;

    QStringList entries(List list) const;
    // The rows shown for a list (none while it is empty: "None" shows instead).
    QList<RemovablePatternRow*> rows(List list) const;
    QLineEdit* patternField(List list) const;
    QPushButton* addButton(List list) const;

    // Appends the typed pattern of a pattern list, as "Add" does.
    void addTypedPattern(List list);
    void remove(List list, int index);
    // Asks for an application and ignores it ("Add app…").
    void addApp();

    // `text` without spaces and tabs at either end (other white space is kept).
    static QString trimPattern(const QString& text);

private:
    struct Section {
        QWidget* rows = nullptr;
        QVBoxLayout* layout = nullptr;
        QLineEdit* field = nullptr;
        QPushButton* add = nullptr;
    };
    void buildBundleIDs();
    void buildPatterns(List list, const char* title, const char* placeholder);
    QWidget* makeRowList(List list);
    void showEntries(List list);
    void write(List list, const QStringList& entries);
    QString applicationsStartFolder() const;

    std::map<List, Section> m_sections;
};

} // namespace ostrevane
