#include "SealerHost.h"

#include <cmath>

#include "WallClockTime.h"

int32_t SealerHost::locationOffsetSecondsAt(double epochSeconds) const {
    if (!std::isfinite(epochSeconds) || epochSeconds < 0.0 || epochSeconds > 4294967295.0) {
        return WallClockTime::localOffsetFromUtcSeconds();
    }
    return WallClockTime::localOffsetFromUtcSecondsAt(static_cast<uint32_t>(epochSeconds));
}
