#include "base/Caching.h"

#include <QByteArray>

bool Caching::enabled() {
    static const bool enabled = qgetenv("SLIPWAY_NO_CACHE") != "1";
    return enabled;
}
