#pragma once

#include "sealer/SealerHost.h"

class GalewickUserInterface;

// The main window as the seal, unseal, recovery and copy commands see it.
// User-interface thread only.
class WindowSealerHost final : public SealerHost {
public:
    explicit WindowSealerHost(GalewickUserInterface& window) : window_(window) {}

    std::string browseLocation() const override;
    bool hasOpenSession() const override;
    std::string sessionLocationName() const override;
    Date sessionDate() const override;
    std::string sessionArchiveRoot() const override;
    std::string sessionRecordingsPath() const override;
    int32_t locationOffsetSecondsAt(double epochSeconds) const override;
    bool selectedRange(double& start, double& end) const override;
    void setSelectedRange(double start, double end) override;
    std::vector<TimeRange> sealedRanges() const override;
    void stopPlayback() override;
    // The session opens again on the window's worker: true when the load started (the window
    // says itself what it could not open).
    bool reloadSession() override;
    bool openSession(const std::string& archiveRoot, const std::string& locationName,
                     const Date& date) override;
    std::string programDirectory() const override;

private:
    GalewickUserInterface& window_;
};
