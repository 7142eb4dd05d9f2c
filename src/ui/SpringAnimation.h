#pragma once

namespace ostrevane {

// One value moving toward a target like a damped spring of unit mass, described the way
// interface designers do: `response` is the period of the undamped oscillation in seconds,
// `dampingFraction` the damping relative to critical (1 = no overshoot, below 1 overshoots
// a little). Time is passed in, in seconds on any monotonic clock, so the motion is a pure
// function of time and can be tested without waiting.
class SpringAnimation {
public:
    // A spring is settled once it is this close to its target and this slow (points, points/s).
    static constexpr double restDistance = 0.01;
    static constexpr double restSpeed = 0.5;

    SpringAnimation(double response, double dampingFraction);

    // Jumps to `value` and stays there.
    void reset(double value);
    // Starts moving toward `target` at time `now` from wherever the value is then, keeping
    // its velocity, so a target that changes mid-flight bends the motion instead of jumping.
    void setTarget(double target, double now);

    double target() const { return m_target; }
    double value(double now) const;
    double velocity(double now) const;
    bool isSettled(double now) const;

private:
    struct State {
        double displacement; // from the target
        double velocity;
    };
    State stateAt(double now) const;

    double m_omega;   // undamped angular frequency
    double m_zeta;    // damping fraction
    double m_target = 0;
    double m_start = 0;         // time the current motion started
    double m_displacement0 = 0; // displacement from the target at m_start
    double m_velocity0 = 0;
};

} // namespace ostrevane
