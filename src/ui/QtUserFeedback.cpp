#include "ui/QtUserFeedback.h"

#include <QApplication>

namespace ostrevane {

void QtUserFeedback::beep() { QApplication::beep(); }

} // namespace ostrevane
