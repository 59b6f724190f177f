#pragma once

#include <cstddef>
#include <cstdint>

// What one foot-pedal report means, judged against the state byte of the report before it.
// Reports come in the 3-byte form [report id, state byte, 0]; the state byte's bits are
// 1 fast forward, 2 play, 4 rewind. Only the first change found is acted on, in the order play,
// fast forward, rewind, so pressing fast forward and play in one report acts on play alone.
class PedalReportDecoder {
public:
    static constexpr int kReportSize = 3;
    static constexpr uint8_t kFastForwardBit = 0x01;
    static constexpr uint8_t kPlayBit = 0x02;
    static constexpr uint8_t kRewindBit = 0x04;

    enum class Action {
        kNone,
        kIgnored,  // a report of another size or count: dropped, the last byte is kept
        kPlayPressed,
        kPlayReleased,
        kFastForwardPressed,
        kFastForwardReleased,
        kRewindPressed,
        kRewindReleased,
    };

    struct Decision {
        Action action = Action::kNone;
        uint8_t lastByte = 0;  // the last pedal byte to keep for the next report
    };

    // Pure: the action for `report` (reportSize bytes, reportCount reports in the message) given
    // the previous state byte. A report that is not one 3-byte report is ignored and logged at
    // warning level.
    static Decision decode(uint8_t lastByte, const uint8_t* report, std::size_t reportSize,
                           int reportCount = 1);
};
