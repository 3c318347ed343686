#pragma once

// SLIPWAY_NO_CACHE=1 makes a run decide everything from first principles: no
// dependency log, and no remembered file times, macro maps, output names,
// settings, file types or memory maps. A diagnostic for a build that looks
// wrong, and the reference the caches are tested against: the decisions are
// the same either way. The build journal is kept, as it records facts (what
// an interrupted run left behind), not derived values.
namespace Caching {

// Read from the environment on first use: only the exact value "1" turns the
// caches off.
bool enabled();

} // namespace Caching
