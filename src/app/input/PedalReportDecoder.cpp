#include "PedalReportDecoder.h"

#include "AvDebugLogger.h"

PedalReportDecoder::Decision PedalReportDecoder::decode(uint8_t lastByte, const uint8_t* report,
                                                        std::size_t reportSize, int reportCount) {
    if (report == nullptr || reportSize != kReportSize || reportCount != 1) {
        AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                      "GalewickUserInterface::ProcessWindowsMessage():"
                                      "GetRawInputData() returned header with unexpected size. "
                                      "Message ignored.");
        return {Action::kIgnored, lastByte};
    }
    const uint8_t state = report[1];
    const uint8_t changed = static_cast<uint8_t>(state ^ lastByte);
    Decision decision{Action::kNone, state};
    if (changed & kPlayBit) {
        decision.action = (state & kPlayBit) ? Action::kPlayPressed : Action::kPlayReleased;
    } else if (changed & kFastForwardBit) {
        decision.action =
            (state & kFastForwardBit) ? Action::kFastForwardPressed : Action::kFastForwardReleased;
    } else if (changed & kRewindBit) {
        decision.action = (state & kRewindBit) ? Action::kRewindPressed : Action::kRewindReleased;
    }
    return decision;
}
