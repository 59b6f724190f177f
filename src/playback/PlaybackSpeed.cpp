#include "PlaybackSpeed.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

PlaybackSpeed PlaybackSpeed::fromTrackBarPosition(int position) {
    PlaybackSpeed speed;
    speed.position_ = std::clamp(position, kFastestPosition, kSlowestPosition);
    if (speed.position_ == 1) {
        speed.factor_ = 0.8;
        speed.percent_ = -20;
    } else {
        speed.factor_ = 1.0 - 0.1 * speed.position_;
        speed.percent_ = -10 * speed.position_;
    }
    return speed;
}

PlaybackSpeed PlaybackSpeed::fromPercent(int percent) {
    PlaybackSpeed speed;
    // The player plays -10 as -20; the factor says what is heard.
    speed.percent_ = std::clamp(percent, kMinimumPercent, kMaximumPercent);
    const int played = speed.percent_ == -10 ? -20 : speed.percent_;
    speed.factor_ = 1.0 + played / 100.0;
    const double nearest = std::round(-speed.percent_ / 10.0);
    speed.position_ = static_cast<int>(std::clamp(nearest, static_cast<double>(kFastestPosition),
                                                  static_cast<double>(kSlowestPosition)));
    return speed;
}

std::string PlaybackSpeed::textIs() const {
    char text[16];
    std::snprintf(text, sizeof text, "%.01fx", factor_);
    return text;
}

PlaybackSpeed PlaybackSpeed::faster() const {
    return fromTrackBarPosition(std::max(position_ - 1, kFastestPosition));
}

PlaybackSpeed PlaybackSpeed::slower() const {
    return fromTrackBarPosition(std::min(position_ + 1, kSlowestPosition));
}
