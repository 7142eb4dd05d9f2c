#include "ui/OnboardingSummonView.h"

#include "core/input/KeyCodeNames.h"
#include "core/model/Localization.h"
#include "core/onboarding/OnboardingManager.h"
#include "core/input/ShortcutStore.h"
#include "ui/PanelStyle.h"
#include "ui/PulseAnimation.h"
#include "ui/SymbolIcons.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrevane {

namespace {

using PanelStyle::white;

constexpr int margin = 24;
constexpr double symbolSide = 38;
constexpr double capHeight = 44;
constexpr double stepRowHeight = 26;

QString localized(const char* english) { return Localization::shared().string(english); }
// Texts that send a Mac user to System Settings or name the Option key have counterparts
// on other desktops.
QString platformLocalized(const char* macText) { return Localization::shared().platformString(macText); }

// The three steps of the permission page.
const std::array<const char*, 3> permissionSteps{
    QT_TRANSLATE_NOOP("Ostrevane", "Open System Settings."),
    QT_TRANSLATE_NOOP("Ostrevane", "Enable Ostrevane under Privacy & Security → Accessibility."),
    QT_TRANSLATE_NOOP("Ostrevane", "Return here; the shortcut tutorial will continue automatically."),
};

QLabel* makeLabel(QWidget* parent, double pixels, QFont::Weight weight, double opacity, Qt::Alignment alignment)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setAlignment(alignment);
    label->setFont(PanelStyle::font(pixels, weight, parent->logicalDpiY()));
    label->setStyleSheet(QStringLiteral("color: rgba(255,255,255,%1);").arg(static_cast<int>(opacity * 255)));
    return label;
}

QPushButton* makeButton(QWidget* parent, bool primary)
{
    auto* button = new QPushButton(parent);
    button->setMinimumHeight(28);
    button->setCursor(Qt::PointingHandCursor);
    // The focus ring shows a keyboard user which button Return or Space presses.
    button->setStyleSheet(primary
        ? QStringLiteral("QPushButton{background:rgb(10,132,255);color:white;border:2px solid transparent;"
                         "border-radius:7px;padding:2px 14px;font-weight:600;}QPushButton:hover{background:rgb(64,156,255);}"
                         "QPushButton:focus{border-color:rgba(255,255,255,170);}")
        : QStringLiteral("QPushButton{background:rgba(255,255,255,26);color:rgba(255,255,255,220);"
                         "border:2px solid transparent;border-radius:7px;padding:2px 12px;}"
                         "QPushButton:hover{background:rgba(255,255,255,46);}"
                         "QPushButton:focus{border-color:rgba(255,255,255,140);}"));
    return button;
}

// The summon page's footnote colours: the usual quiet grey, or the warning's orange.
const QString footnoteStyle = QStringLiteral("color: rgba(255,255,255,107);");
const QString warningStyle = QStringLiteral("color: rgb(255,173,66);");

} // namespace

OnboardingSummonView::OnboardingSummonView(Environment environment, QWidget* parent)
    : QWidget(parent)
    , m_env(std::move(environment))
    , m_pulse(new PulseAnimation(this))
{
    setAutoFillBackground(false);
    m_hasAccessibility = m_env.accessibilityTrusted && m_env.accessibilityTrusted();
    m_chordHeldElsewhere = m_env.chordHeldElsewhere ? m_env.chordHeldElsewhere() : std::nullopt;
    buildWidgets();
    connect(m_pulse, &PulseAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    if (m_env.onboarding)
        connect(m_env.onboarding, &OnboardingManager::stageChanged, this, &OnboardingSummonView::stageChanged);
    retranslate();
    scheduleTick();
}

OnboardingSummonView::~OnboardingSummonView()
{
    if (m_tick)
        m_tick->cancel();
}

void OnboardingSummonView::buildWidgets()
{
    m_title = makeLabel(this, 20, QFont::DemiBold, 0.95, Qt::AlignHCenter);
    m_subtitle = makeLabel(this, 12.5, QFont::Normal, 0.64, Qt::AlignHCenter);
    m_footnote = makeLabel(this, 11, QFont::Normal, 0.42, Qt::AlignHCenter);
    m_skip = makeButton(this, false);
    m_settings = makeButton(this, false);
    m_default = makeButton(this, true);
    m_default->setDefault(true);
    m_default->setAutoDefault(true);
    connect(m_skip, &QPushButton::clicked, this, &OnboardingSummonView::skipGuide);
    connect(m_settings, &QPushButton::clicked, this, &OnboardingSummonView::openSettings);
    connect(m_default, &QPushButton::clicked, this, &OnboardingSummonView::confirm);
    m_settings->setVisible(static_cast<bool>(m_env.openSettings));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_skip);
    buttons->addStretch();
    buttons->addWidget(m_settings);
    buttons->addWidget(m_default);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(margin, margin + static_cast<int>(symbolSide) + 10, margin, margin - 6);
    column->setSpacing(6);
    column->addWidget(m_title);
    column->addWidget(m_subtitle);
    column->addStretch(1); // the body is painted here
    column->addWidget(m_footnote);
    column->addSpacing(8);
    column->addLayout(buttons);
}

void OnboardingSummonView::retranslate()
{
    const bool trusted = m_hasAccessibility;
    m_title->setText(titleText());
    m_subtitle->setText(subtitleText());
    m_footnote->setText(footnoteText());
    m_footnote->setStyleSheet(showsChordWarning() ? warningStyle : footnoteStyle);
    m_skip->setText(localized(QT_TRANSLATE_NOOP("Ostrevane", "Skip Guide")));
    m_settings->setText(localized(trusted ? QT_TRANSLATE_NOOP("Ostrevane", "Open Settings")
                                          : QT_TRANSLATE_NOOP("Ostrevane", "Open Accessibility Settings")));
    m_default->setText(localized(trusted ? QT_TRANSLATE_NOOP("Ostrevane", "Got it")
                                         : QT_TRANSLATE_NOOP("Ostrevane", "Continue")));
    update();
}

QString OnboardingSummonView::titleText() const
{
    return platformLocalized(m_hasAccessibility ? QT_TRANSLATE_NOOP("Ostrevane", "Summon Ostrevane")
                                                : QT_TRANSLATE_NOOP("Ostrevane", "Enable Accessibility"));
}

QString OnboardingSummonView::subtitleText() const
{
    return platformLocalized(m_hasAccessibility
        ? QT_TRANSLATE_NOOP("Ostrevane", "Start with the real shortcut. Hold Option to keep Ostrevane open, then use "
                                         "other keys while holding it.")
        : QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane needs Accessibility before the shortcut tutorial can work."));
}

QString OnboardingSummonView::footnoteText() const
{
    if (m_hasAccessibility && m_chordHeldElsewhere)
        return Localization::shared().format(
            QT_TRANSLATE_NOOP("Ostrevane", "Another program holds %@, so it cannot summon Ostrevane yet. Remove that "
                                           "shortcut there (usually the window manager's own window cycling); "
                                           "Ostrevane takes it as soon as it is free."),
            {*m_chordHeldElsewhere});
    return platformLocalized(m_hasAccessibility
        ? QT_TRANSLATE_NOOP("Ostrevane", "When the panel appears, keep Option held. Ostrevane will explain the "
                                         "movement and action keys there.")
        : QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane will not open System Settings again after Accessibility is "
                                         "enabled."));
}

std::array<bool, 3> OnboardingSummonView::stepsDone() const
{
    return {m_openedSettings || m_hasAccessibility, m_hasAccessibility, false};
}

// MARK: Permission

void OnboardingSummonView::rereadTrust()
{
    const bool trusted = m_env.accessibilityTrusted && m_env.accessibilityTrusted();
    if (trusted != m_hasAccessibility) {
        m_hasAccessibility = trusted;
        retranslate();
    }
    if (trusted && m_env.onboarding)
        m_env.onboarding->permissionDidBecomeTrusted();
}

void OnboardingSummonView::rereadChord()
{
    std::optional<QString> held = m_env.chordHeldElsewhere ? m_env.chordHeldElsewhere() : std::nullopt;
    if (held != m_chordHeldElsewhere) {
        m_chordHeldElsewhere = std::move(held);
        retranslate();
    }
}

void OnboardingSummonView::scheduleTick()
{
    if (!m_env.dispatcher)
        return;
    QPointer<OnboardingSummonView> self(this);
    m_tick = m_env.dispatcher->asyncAfter(permissionPollSeconds, [self] {
        if (!self)
            return;
        self->rereadTrust();
        self->rereadChord();
        self->scheduleTick();
    });
}

void OnboardingSummonView::stageChanged()
{
    // The user summoned the panel: the guide continues there.
    if (m_env.onboarding && m_env.onboarding->stage() == OnboardingStage::panelBasics) {
        dismiss();
        return;
    }
    rereadTrust();
}

void OnboardingSummonView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    rereadTrust();
    rereadChord();
    m_pulse->start();
}

// MARK: Buttons

void OnboardingSummonView::skipGuide()
{
    if (m_env.onboarding)
        m_env.onboarding->complete();
    dismiss();
}

void OnboardingSummonView::openSettings()
{
    m_openedSettings = true;
    if (m_env.openSettings)
        m_env.openSettings();
    update();
}

void OnboardingSummonView::confirm()
{
    if (m_hasAccessibility) {
        dismiss();
        return;
    }
    rereadTrust();
}

void OnboardingSummonView::dismiss()
{
    if (onDismiss)
        onDismiss();
}

// MARK: Painting

QRectF OnboardingSummonView::bodyArea() const
{
    const double top = m_subtitle->geometry().bottom() + 14;
    const double bottom = m_footnote->geometry().top() - 10;
    return QRectF(margin, top, width() - 2 * margin, std::max(0.0, bottom - top));
}

void OnboardingSummonView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, QColor(30, 30, 34));
    background.setColorAt(1, QColor(16, 16, 18));
    painter.fillRect(rect(), background);
    const QString symbol = m_hasAccessibility ? QStringLiteral("sparkles.rectangle.stack") : QStringLiteral("lock.shield");
    const QRectF symbolRect(width() / 2.0 - symbolSide / 2, margin, symbolSide, symbolSide);
    SymbolIcons::paint(painter, symbolRect, symbol, m_hasAccessibility ? PanelStyle::accent() : white(0.85));
    if (m_hasAccessibility)
        paintKeyGuide(painter, bodyArea());
    else
        paintSteps(painter, bodyArea());
}

void OnboardingSummonView::paintKeyGuide(QPainter& painter, const QRectF& area) const
{
    const QFont capFont = PanelStyle::font(18, QFont::DemiBold, logicalDpiY());
    const double emphasis = m_pulse->value();
    const double capWidth = 64;
    const double arrow = 22;
    const double total = 2 * capWidth + arrow + 28;
    const double top = area.top() + std::max(0.0, (area.height() - capHeight - 28) / 2);
    double x = area.center().x() - total / 2;
    const ChordStyle style = currentChordStyle();
    PanelStyle::paintKeyCap(painter, QRectF(x, top, capWidth, capHeight), modifierName(CarbonModifier::option, style),
                            capFont, emphasis);
    x += capWidth + 14;
    SymbolIcons::paint(painter, QRectF(x, top + capHeight / 2 - arrow / 2, arrow, arrow), QStringLiteral("arrow.right"),
                       white(0.5));
    x += arrow + 14;
    PanelStyle::paintKeyCap(painter, QRectF(x, top, capWidth, capHeight),
                            KeyCodeNames::name(HotkeyConfig::tabKeyCode, style), capFont, emphasis);
    painter.setFont(PanelStyle::font(13, QFont::Medium, logicalDpiY()));
    painter.setPen(white(0.8));
    painter.drawText(QRectF(area.left(), top + capHeight + 10, area.width(), 20), Qt::AlignHCenter | Qt::AlignVCenter,
                     platformLocalized(QT_TRANSLATE_NOOP("Ostrevane", "Hold Option and press Tab")));
}

void OnboardingSummonView::paintSteps(QPainter& painter, const QRectF& area) const
{
    const QFont font = PanelStyle::font(12.5, QFont::Normal, logicalDpiY());
    const QFont numberFont = PanelStyle::font(11, QFont::Bold, logicalDpiY());
    const auto done = stepsDone();
    const double top = area.top() + std::max(0.0, (area.height() - 3 * stepRowHeight) / 2);
    const double inset = 12;
    for (size_t i = 0; i < permissionSteps.size(); ++i) {
        const QRectF row(area.left() + inset, top + static_cast<double>(i) * stepRowHeight, area.width() - 2 * inset,
                         stepRowHeight);
        const QRectF mark(row.left(), row.center().y() - 9, 18, 18);
        if (done[i]) {
            SymbolIcons::paint(painter, mark, QStringLiteral("checkmark.circle"), QColor(48, 209, 88));
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(white(0.14));
            painter.drawEllipse(mark);
            painter.setFont(numberFont);
            painter.setPen(white(0.8));
            painter.drawText(mark, Qt::AlignCenter, QString::number(i + 1));
        }
        painter.setFont(font);
        painter.setPen(white(done[i] ? 0.5 : 0.85));
        const QRectF text = row.adjusted(28, 0, 0, 0);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetricsF(font).elidedText(platformLocalized(permissionSteps.at(i)), Qt::ElideRight,
                                                        text.width()));
    }
}

} // namespace ostrevane
