#include "ui/OnboardingPanelOverlay.h"

#include "ui/PanelStyle.h"
#include "ui/PulseAnimation.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPushButton>

namespace ostrevane {

namespace {

constexpr double padding = 14;
constexpr double lineGap = 6;
constexpr double capHeight = 26;
constexpr double capGap = 6;
constexpr double dotSide = 5;
constexpr double dotGap = 6;
constexpr double buttonHeight = 24;
constexpr double cornerRadius = 14;

using PanelStyle::white;

QString buttonStyle(bool primary)
{
    return primary ? QStringLiteral("QPushButton{background:rgba(10,132,255,235);color:white;border:none;"
                                    "border-radius:7px;padding:0 12px;font-weight:600;}"
                                    "QPushButton:hover{background:rgba(64,156,255,255);}")
                   : QStringLiteral("QPushButton{background:transparent;color:rgba(255,255,255,150);border:none;"
                                    "padding:0 8px;}"
                                    "QPushButton:hover{color:rgba(255,255,255,235);}");
}

QPushButton* makeButton(QWidget* parent, bool primary, const QFont& font)
{
    auto* button = new QPushButton(parent);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(buttonStyle(primary));
    button->setFont(font);
    return button;
}

} // namespace

OnboardingPanelOverlay::OnboardingPanelOverlay(double fontScale, QWidget* parent)
    : QWidget(parent)
    , m_scale(fontScale)
    , m_pulse(new PulseAnimation(this))
{
    const double dpi = logicalDpiY();
    m_fonts.title = PanelStyle::font(13.5 * m_scale, QFont::DemiBold, dpi);
    m_fonts.detail = PanelStyle::font(11 * m_scale, QFont::Normal, dpi);
    m_fonts.cap = PanelStyle::font(12 * m_scale, QFont::DemiBold, dpi);
    m_fonts.caption = PanelStyle::font(11 * m_scale, QFont::Normal, dpi);
    m_fonts.button = PanelStyle::font(11.5 * m_scale, QFont::Medium, dpi);
    m_skip = makeButton(this, false, m_fonts.button);
    m_primary = makeButton(this, true, m_fonts.button);
    connect(m_skip, &QPushButton::clicked, this, [this] {
        if (onSkip)
            onSkip();
    });
    connect(m_primary, &QPushButton::clicked, this, [this] {
        if (onNext)
            onNext();
    });
    connect(m_pulse, &PulseAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    setVisible(false);
}

void OnboardingPanelOverlay::setContent(std::optional<OnboardingOverlayContent> content)
{
    m_content = std::move(content);
    setVisible(m_content.has_value());
    if (!m_content) {
        m_pulse->stop();
        return;
    }
    m_skip->setText(m_content->skipButton);
    m_primary->setText(m_content->primaryButton);
    m_pulse->start();
    placeButtons();
    update();
}

double OnboardingPanelOverlay::detailHeight(double width) const
{
    if (!m_content)
        return 0;
    const QRectF bounds = QFontMetricsF(m_fonts.detail)
                              .boundingRect(QRectF(0, 0, width - 2 * padding, 10000), Qt::TextWordWrap,
                                            m_content->detail);
    return bounds.height();
}

int OnboardingPanelOverlay::heightForWidth(int width) const
{
    if (!m_content)
        return 0;
    const double title = QFontMetricsF(m_fonts.title).height();
    const double total = padding + title + lineGap + detailHeight(width) + 2 * lineGap + capHeight + 2 * lineGap
        + buttonHeight + padding;
    return static_cast<int>(std::ceil(total));
}

QRectF OnboardingPanelOverlay::capsRow() const
{
    const double title = QFontMetricsF(m_fonts.title).height();
    const double top = padding + title + lineGap + detailHeight(width()) + 2 * lineGap;
    return QRectF(padding, top, width() - 2 * padding, capHeight);
}

void OnboardingPanelOverlay::placeButtons()
{
    const QFontMetricsF metrics(m_fonts.button);
    const int primaryWidth = static_cast<int>(metrics.horizontalAdvance(m_primary->text()) + 30);
    const int skipWidth = static_cast<int>(metrics.horizontalAdvance(m_skip->text()) + 20);
    const int y = height() - static_cast<int>(padding + buttonHeight);
    const int right = width() - static_cast<int>(padding);
    m_primary->setGeometry(right - primaryWidth, y, primaryWidth, static_cast<int>(buttonHeight));
    m_skip->setGeometry(right - primaryWidth - 4 - skipWidth, y, skipWidth, static_cast<int>(buttonHeight));
}

void OnboardingPanelOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

void OnboardingPanelOverlay::paintEvent(QPaintEvent*)
{
    if (!m_content)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(card.topLeft(), card.bottomLeft());
    fill.setColorAt(0, QColor(38, 38, 42, 250));
    fill.setColorAt(1, QColor(24, 24, 27, 250));
    painter.setBrush(fill);
    painter.setPen(QPen(white(0.14), 1));
    painter.drawRoundedRect(card, cornerRadius, cornerRadius);

    const double titleHeight = QFontMetricsF(m_fonts.title).height();
    painter.setFont(m_fonts.title);
    painter.setPen(white(0.95));
    painter.drawText(QRectF(padding, padding, width() - 2 * padding, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     m_content->title);
    painter.setFont(m_fonts.detail);
    painter.setPen(white(0.68));
    painter.drawText(QRectF(padding, padding + titleHeight + lineGap, width() - 2 * padding, detailHeight(width())),
                     Qt::TextWordWrap, m_content->detail);
    paintCaps(painter, capsRow());
    paintDots(painter, QRectF(padding, height() - padding - buttonHeight, 60, buttonHeight));
}

void OnboardingPanelOverlay::paintCaps(QPainter& painter, const QRectF& row) const
{
    double x = row.left();
    for (const auto& cap : m_content->keyCaps) {
        const double width = PanelStyle::keyCapWidth(cap.label, m_fonts.cap, capHeight);
        const double emphasis = cap.pulses ? m_pulse->value() : 0.0;
        PanelStyle::paintKeyCap(painter, QRectF(x, row.top(), width, capHeight), cap.label, m_fonts.cap, emphasis);
        x += width + capGap;
        if (!cap.caption.isEmpty()) {
            painter.setFont(m_fonts.caption);
            painter.setPen(white(0.6));
            const QRectF captionRect(x + 2, row.top(), row.right() - x - 2, capHeight);
            painter.drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter,
                             QFontMetricsF(m_fonts.caption).elidedText(cap.caption, Qt::ElideRight, captionRect.width()));
            x = row.right();
        }
    }
}

void OnboardingPanelOverlay::paintDots(QPainter& painter, const QRectF& area) const
{
    painter.setPen(Qt::NoPen);
    double x = area.left();
    for (bool lit : m_content->progressDotsLit) {
        painter.setBrush(lit ? PanelStyle::accent() : white(0.2));
        painter.drawEllipse(QRectF(x, area.center().y() - dotSide / 2, dotSide, dotSide));
        x += dotSide + dotGap;
    }
}

} // namespace ostrevane
