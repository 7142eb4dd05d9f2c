#pragma once

namespace ostrevane {

// The process entry: builds the runtime (the composition root) and runs the event loop.
void runOstrevaneApp();

} // namespace ostrevane
