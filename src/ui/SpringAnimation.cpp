#include "ui/SpringAnimation.h"

#include <cmath>
#include <numbers>

namespace ostrevane {

SpringAnimation::SpringAnimation(double response, double dampingFraction)
    : m_omega(2 * std::numbers::pi / (response > 0 ? response : 1.0))
    , m_zeta(dampingFraction > 0 ? dampingFraction : 0.0)
{
}

void SpringAnimation::reset(double value)
{
    m_target = value;
    m_displacement0 = 0;
    m_velocity0 = 0;
}

void SpringAnimation::setTarget(double target, double now)
{
    const State state = stateAt(now);
    const double current = m_target + state.displacement;
    m_target = target;
    m_start = now;
    m_displacement0 = current - target;
    m_velocity0 = state.velocity;
}

double SpringAnimation::value(double now) const { return m_target + stateAt(now).displacement; }

double SpringAnimation::velocity(double now) const { return stateAt(now).velocity; }

bool SpringAnimation::isSettled(double now) const
{
    const State state = stateAt(now);
    return std::abs(state.displacement) < restDistance && std::abs(state.velocity) < restSpeed;
}

// Closed-form solution of x'' + 2ζω x' + ω² x = 0 for the displacement x from the target.
SpringAnimation::State SpringAnimation::stateAt(double now) const
{
    const double t = now > m_start ? now - m_start : 0.0;
    const double x0 = m_displacement0;
    const double v0 = m_velocity0;
    const double w = m_omega;
    if (x0 == 0 && v0 == 0)
        return {0, 0};
    if (m_zeta < 1) {
        const double wd = w * std::sqrt(1 - m_zeta * m_zeta);
        const double decay = std::exp(-m_zeta * w * t);
        const double a = x0;
        const double b = (v0 + m_zeta * w * x0) / wd;
        const double c = std::cos(wd * t);
        const double s = std::sin(wd * t);
        const double x = decay * (a * c + b * s);
        const double v = decay * ((b * wd - m_zeta * w * a) * c - (a * wd + m_zeta * w * b) * s);
        return {x, v};
    }
    // Critically damped (over-damping is treated as critical: the motion differs little).
    const double decay = std::exp(-w * t);
    const double b = v0 + w * x0;
    return {decay * (x0 + b * t), decay * (b - w * (x0 + b * t))};
}

} // namespace ostrevane
