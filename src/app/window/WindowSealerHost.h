#pragma once

#include "SessionLoader.h"
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
    // Both open the session on the window's loader thread and return when it has opened (true)
    // or could not be opened (false); the window keeps handling events meanwhile.
    bool reloadSession() override;
    bool openSession(const std::string& archiveRoot, const std::string& locationName,
                     const Date& date) override;
    std::string programDirectory() const override;

private:
    bool loadAndWait(const SessionLoader::Request& request, double seekTo);

    GalewickUserInterface& window_;
};
