#pragma once

#include <QObject>
#include <QVariantAnimation>

namespace ostrevane {

// A value that swings 0 → 1 → 0 forever with ease-in-out timing, `halfPeriod` seconds each
// way (the pulse of key caps that are being taught). Runs only while started.
class PulseAnimation : public QObject {
    Q_OBJECT

public:
    static constexpr double defaultHalfPeriod = 0.85;

    explicit PulseAnimation(QObject* parent = nullptr, double halfPeriod = defaultHalfPeriod);

    void start();
    void stop();
    bool isRunning() const;
    // 0..1.
    double value() const { return m_value; }

    // The eased swing at `phase` 0..1 of a full period (0 and 1 at rest, 0.5 at the peak).
    static double swing(double phase);

signals:
    void valueChanged();

private:
    QVariantAnimation m_animation;
    double m_value = 0;
};

} // namespace ostrevane
