#pragma once

#include <QImage>

#include <memory>

namespace ostrevane {

// A platform image: shared, reference-counted, never drawn by the logic.
using ImageHandle = std::shared_ptr<const QImage>;

} // namespace ostrevane
