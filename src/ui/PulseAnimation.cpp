#include "ui/PulseAnimation.h"

#include <QEasingCurve>

#include <algorithm>

#include <cmath>

namespace ostrevane {

namespace {

// The standard ease-in-out curve, cubic Bézier (0.42, 0) (0.58, 1), solved for y at x.
double easeInOut(double x)
{
    const double x1 = 0.42;
    const double x2 = 0.58;
    double t = x;
    for (int i = 0; i < 8; ++i) { // Newton steps on x(t) = x
        const double u = 1 - t;
        const double xt = 3 * u * u * t * x1 + 3 * u * t * t * x2 + t * t * t;
        const double dx = 3 * u * u * x1 + 6 * u * t * (x2 - x1) + 3 * t * t * (1 - x2);
        if (std::abs(dx) < 1e-6)
            break;
        t = std::clamp(t - (xt - x) / dx, 0.0, 1.0);
    }
    const double u = 1 - t;
    return 3 * u * t * t + t * t * t; // y1 = 0, y2 = 1
}

} // namespace

double PulseAnimation::swing(double phase)
{
    const double p = phase - std::floor(phase);
    return p < 0.5 ? easeInOut(2 * p) : easeInOut(2 - 2 * p);
}

PulseAnimation::PulseAnimation(QObject* parent, double halfPeriod)
    : QObject(parent)
{
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    m_animation.setDuration(static_cast<int>(2 * halfPeriod * 1000));
    m_animation.setLoopCount(-1);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& phase) {
        m_value = swing(phase.toDouble());
        emit valueChanged();
    });
}

void PulseAnimation::start()
{
    if (!isRunning())
        m_animation.start();
}

void PulseAnimation::stop()
{
    m_animation.stop();
    m_value = 0;
    emit valueChanged();
}

bool PulseAnimation::isRunning() const { return m_animation.state() == QAbstractAnimation::Running; }

} // namespace ostrevane
