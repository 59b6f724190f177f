#include "WindowSealerHost.h"

#include <QThread>

#include "GalewickPaths.h"
#include "GalewickUserInterface.h"
#include "TransportBar.h"
#include "Win32_WindowlessTimeSlider.h"

std::string WindowSealerHost::browseLocation() const {
    return window_.configuration().browseLocation;
}

bool WindowSealerHost::hasOpenSession() const {
    return window_.hasSession();
}

std::string WindowSealerHost::sessionLocationName() const {
    return window_.openSession().location;
}

SealerHost::Date WindowSealerHost::sessionDate() const {
    const GalewickUserInterface::OpenSession& session = window_.openSession();
    return Date{session.year, session.month, session.day};
}

std::string WindowSealerHost::sessionArchiveRoot() const {
    return window_.openSession().root;
}

std::string WindowSealerHost::sessionRecordingsPath() const {
    return window_.openSession().root + "/Recordings";
}

int32_t WindowSealerHost::locationOffsetSecondsAt(double) const {
    return window_.openSession().offsetSeconds;
}

bool WindowSealerHost::selectedRange(double& start, double& end) const {
    const Win32_WindowlessTimeSlider& slider = window_.transport().slider();
    if (!window_.hasSession() || !slider.hasSelection()) {
        return false;
    }
    start = slider.selectionStart();
    end = slider.selectionEnd();
    return true;
}

void WindowSealerHost::setSelectedRange(double start, double end) {
    window_.transport().slider().setSelection(start, end);
    window_.transport().showSelectionInEdits();
}

std::vector<TimeRange> WindowSealerHost::sealedRanges() const {
    std::vector<TimeRange> ranges;
    if (window_.hasSession()) {
        for (const auto& range : window_.transport().slider().sealedRanges()) {
            ranges.push_back(TimeRange{range.start, range.end, true});
        }
    }
    return ranges;
}

void WindowSealerHost::stopPlayback() {
    window_.stop();
}

bool WindowSealerHost::loadAndWait(const SessionLoader::Request& request, double seekTo) {
    if (QThread::currentThread() == window_.thread()) {
        return window_.LoadSessionAndWait(request, seekTo);
    }
    // From a worker: the window's thread loads, the worker waits for the result.
    bool opened = false;
    QMetaObject::invokeMethod(
        &window_, [&] { opened = window_.LoadSessionAndWait(request, seekTo); },
        Qt::BlockingQueuedConnection);
    return opened;
}

bool WindowSealerHost::reloadSession() {
    if (!window_.hasSession()) {
        return false;
    }
    const GalewickUserInterface::OpenSession& session = window_.openSession();
    return loadAndWait({session.root, session.location, session.year, session.month, session.day},
                       window_.transport().slider().position());
}

bool WindowSealerHost::openSession(const std::string& archiveRoot, const std::string& locationName,
                                   const Date& date) {
    return loadAndWait({archiveRoot, locationName, date.year, date.month, date.day}, -1.0);
}

std::string WindowSealerHost::programDirectory() const {
    return GalewickPaths::programDirectory();
}
