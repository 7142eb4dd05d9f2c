#pragma once

namespace ostrevane {

// Where and how the panel is drawn. Case order is the order of the preferences pickers;
// raw values are what the settings file stores and also each case's identity.
enum class PanelEdge { left, right };
enum class PanelWidth { compact, normal, wide };
enum class PanelFontSize { small, normal, large };
enum class PanelDisplay { pointer, main };

} // namespace ostrevane
