#include "base/Caching.h"

#include <QByteArray>

namespace {
int state = -1; // unknown until first asked
}

bool Caching::enabled() {
    if (state < 0) state = qgetenv("SLIPWAY_NO_CACHE") == "1" ? 0 : 1;
    return state == 1;
}

void Caching::setEnabled(bool enabled) {
    state = enabled ? 1 : 0;
}
