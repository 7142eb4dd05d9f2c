#include "ui/ExceptionsPane.h"

#include "core/sources/AppRegistry.h"
#include "core/model/IgnoreFilter.h"
#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrevane {

namespace {

const PlatformProfile& profile() { return RuntimeContext::current().profile(); }

QLabel* noneLabel(QWidget* parent)
{
    auto* none = new QLabel(Localization::shared().string(QT_TRANSLATE_NOOP("Ostrevane", "None")), parent);
    PreferencesStyle::setRole(none, "muted");
    none->setContentsMargins(14, 8, 14, 8);
    return none;
}

} // namespace

ExceptionsPane::ExceptionsPane(const PreferencesEnvironment& environment, QWidget* parent)
    : PreferencesPaneView(PreferencesPane::exceptions, environment, parent)
{
    buildBundleIDs();
    buildPatterns(List::appPatterns, QT_TRANSLATE_NOOP("Ostrevane", "Ignored apps (regex)"), "^.*Helper.*$");
    buildPatterns(List::windowPatterns, QT_TRANSLATE_NOOP("Ostrevane", "Ignored windows (regex)"), "^Untitled.*");
    detail()->finish();
    observe(Notifications::ignoreFilterChanged, [this] { reload(); });
    reload();
}

void ExceptionsPane::buildBundleIDs()
{
    SettingsSection* section = addSection(QT_TRANSLATE_NOOP("Ostrevane", "Ignored apps"));
    auto* note = new QLabel(this);
    PreferencesStyle::setRole(note, "rowDetail");
    note->setContentsMargins(14, 8, 14, 4);
    texts().setText(note, QT_TRANSLATE_NOOP("Ostrevane", "These apps are completely hidden from Ostrevane."));
    section->addWidget(note);
    section->addWidget(makeRowList(List::bundleIDs));

    auto* footer = new QWidget(this);
    auto* line = new QHBoxLayout(footer);
    line->setContentsMargins(14, 8, 14, 8);
    auto* add = new QPushButton(footer);
    texts().setText(add, QT_TRANSLATE_NOOP("Ostrevane", "Add app…"));
    line->addWidget(add);
    line->addStretch(1);
    section->addWidget(footer);
    m_sections[List::bundleIDs].add = add;
    connect(add, &QPushButton::clicked, this, &ExceptionsPane::addApp);
}

void ExceptionsPane::buildPatterns(List list, const char* title, const char* placeholder)
{
    SettingsSection* section = addSection(title);
    auto* entry = new QWidget(this);
    auto* line = new QHBoxLayout(entry);
    line->setContentsMargins(14, 10, 14, 10);
    auto* field = new QLineEdit(entry);
    // A pattern is the same in every language: the placeholder is an example, not a text.
    field->setPlaceholderText(QString::fromUtf8(placeholder));
    auto* add = new QPushButton(entry);
    texts().setText(add, QT_TRANSLATE_NOOP("Ostrevane", "Add"));
    line->addWidget(field, 1);
    line->addWidget(add);
    section->addWidget(entry);
    section->addWidget(makeRowList(list));
    m_sections[list].field = field;
    m_sections[list].add = add;
    connect(add, &QPushButton::clicked, this, [this, list] { addTypedPattern(list); });
    connect(field, &QLineEdit::returnPressed, this, [this, list] { addTypedPattern(list); });
}

QWidget* ExceptionsPane::makeRowList(List list)
{
    auto* rows = new QWidget(this);
    auto* layout = new QVBoxLayout(rows);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(0);
    m_sections[list].rows = rows;
    m_sections[list].layout = layout;
    return rows;
}

void ExceptionsPane::reload()
{
    for (const List list : {List::bundleIDs, List::appPatterns, List::windowPatterns})
        showEntries(list);
    orderFocusChain(); // the new rows' buttons take their places
}

QStringList ExceptionsPane::entries(List list) const
{
    switch (list) {
    case List::bundleIDs:
        return IgnoreFilter::ignoredAppBundleIDs();
    case List::appPatterns:
        return IgnoreFilter::ignoredAppRegex();
    case List::windowPatterns:
        break;
    }
    return IgnoreFilter::ignoredWindowRegex();
}

void ExceptionsPane::write(List list, const QStringList& entries)
{
    switch (list) {
    case List::bundleIDs:
        IgnoreFilter::setIgnoredAppBundleIDs(entries);
        break;
    case List::appPatterns:
        IgnoreFilter::setIgnoredAppRegex(entries);
        break;
    case List::windowPatterns:
        IgnoreFilter::setIgnoredWindowRegex(entries);
        break;
    }
    reload(); // what the filter holds now
}

void ExceptionsPane::showEntries(List list)
{
    const Section& section = m_sections.at(list);
    while (QLayoutItem* item = section.layout->takeAt(0)) {
        // The row asking to be removed is inside its own signal: delete it later.
        if (QWidget* old = item->widget()) {
            old->hide();
            old->setParent(nullptr);
            old->deleteLater();
        }
        delete item;
    }
    const QStringList values = entries(list);
    if (values.isEmpty())
        section.layout->addWidget(noneLabel(section.rows));
    for (int i = 0; i < values.size(); ++i) {
        auto* row = new RemovablePatternRow(values.at(i), section.rows);
        section.layout->addWidget(row);
        // By position, not by text: the list may hold the same pattern twice.
        connect(row, &RemovablePatternRow::removeRequested, this, [this, list, i] { remove(list, i); });
    }
}

QList<RemovablePatternRow*> ExceptionsPane::rows(List list) const
{
    return m_sections.at(list).rows->findChildren<RemovablePatternRow*>(Qt::FindDirectChildrenOnly);
}

QLineEdit* ExceptionsPane::patternField(List list) const { return m_sections.at(list).field; }

QPushButton* ExceptionsPane::addButton(List list) const { return m_sections.at(list).add; }

QString ExceptionsPane::trimPattern(const QString& text)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && blank(text.at(start)))
        ++start;
    while (end > start && blank(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

void ExceptionsPane::addTypedPattern(List list)
{
    QLineEdit* field = m_sections.at(list).field;
    const QString pattern = trimPattern(field->text());
    if (pattern.isEmpty())
        return;
    field->clear();
    write(list, entries(list) << pattern);
}

void ExceptionsPane::remove(List list, int index)
{
    QStringList values = entries(list);
    if (index < 0 || index >= values.size())
        return;
    values.removeAt(index);
    write(list, values);
}

void ExceptionsPane::addApp()
{
    const QString folder = applicationsStartFolder();
    QString path;
    if (environment().chooseApplication) {
        path = environment().chooseApplication(this, folder);
    } else {
        const QString title = Localization::shared().string(QT_TRANSLATE_NOOP("Ostrevane", "Choose an App to Ignore"));
        const QString filter = Localization::shared().string(QT_TRANSLATE_NOOP("Ostrevane", "Applications")) + " (*"
            + profile().appBundleExtension + ")";
        path = QFileDialog::getOpenFileName(this, title, folder, filter);
    }
    if (path.isEmpty())
        return;
    const std::optional<BundleReader::Info> info = BundleReader::forProfile(profile()).read(path);
    if (!info || !info->bundleID || info->bundleID->isEmpty())
        return;
    const QStringList values = entries(List::bundleIDs);
    if (!values.contains(*info->bundleID))
        write(List::bundleIDs, QStringList(values) << *info->bundleID);
}

// The first application folder that holds applications: on Linux the user's own folder
// is often empty, and the dialog should open where the programs are.
QString ExceptionsPane::applicationsStartFolder() const
{
    const QStringList nameFilter{u'*' + profile().appBundleExtension};
    for (const QString& folder : profile().scanRoots)
        if (!QDir(folder).entryList(nameFilter, QDir::Files | QDir::Dirs).isEmpty())
            return folder;
    return profile().applicationsFolder;
}

} // namespace ostrevane
