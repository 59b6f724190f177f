#include "GalewickUserInterface.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMoveEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "AnnotationCommands.h"
#include "AnnotationPanel.h"
#include "AudioOutputDeviceFactory.h"
#include "AutoloadThread.h"
#include "AvDebugLogger.h"
#include "ChannelStrip.h"
#include "ClockTimeText.h"
#include "ConfigurationDialog.h"
#include "EngineBridge.h"
#include "GalewickAutoloadFile.h"
#include "GalewickCommandIds.h"
#include "GalewickDebugFile.h"
#include "GalewickInputHub.h"
#include "GalewickLayout.h"
#include "GalewickMenus.h"
#include "GalewickPaths.h"
#include "PlaybackEngine.h"
#include "PlaybackSpeed.h"
#include "ResourceNames.h"
#include "SelectSessionDialog.h"
#include "SpeedControlWindow.h"
#include "TransportBar.h"
#include "UserNotification.h"
#include "Win32AudioVideoPlayer.h"
#include "Win32_ListViewControl.h"
#include "Win32_VideoDisplayWindow.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessPushButton.h"
#include "Win32_WindowlessTextDisplay.h"
#include "Win32_WindowlessTimeSlider.h"
#include "WindowSealerHost.h"
#include "WindowTransportTarget.h"
#include "sealer/SealerCommands.h"

namespace ids = GalewickCommandIds;

GalewickUserInterface::GalewickUserInterface(const Options& options)
    : Win32_BasicWindow(QString::fromStdString(options.title), ResourceNames::kBackground),
      options_(options) {
    setObjectName(QStringLiteral("Galewick Main App"));
    move(options.rectangle.topLeft());
}

GalewickUserInterface::~GalewickUserInterface() {
    leave();
    UserNotification::setHook(nullptr);
}

bool GalewickUserInterface::Initialize() {
    if (!hasBackgroundImage()) {
        GalewickDebugFile::append("No background image. Image File = '" + backgroundImageName() +
                                  "'");
    }
    setFixedSize(GalewickLayout::kWidth, GalewickLayout::kHeight);
    if (options_.configurationPath.empty()) {
        configuration_.loadConfiguration();
    } else {
        configuration_.loadConfiguration(options_.configurationPath);
    }

    transport_ = new TransportBar(*this);
    transport_->setStatus(TransportBar::kNoSessionText);
    // Core code tells the user things through this hook, from any thread (the sound card
    // that cannot be opened, for one).
    UserNotification::setHook([this](const std::string& title, const std::string& text) {
        const QString qtitle = QString::fromStdString(title);
        const QString qtext = QString::fromStdString(text);
        QMetaObject::invokeMethod(
            this, [this, qtitle, qtext] { showNotice(qtitle, qtext); }, Qt::QueuedConnection);
    });
    menus_ = new GalewickMenus(options_.sealingMode, this);
    addActions(menus_->actions());
    connect(menus_, &GalewickMenus::commandTriggered, this, &GalewickUserInterface::runCommand);
    menus_->refreshDurationChecks(configuration_.advanceSeconds, configuration_.rewindSeconds);
    menus_->setSessionLoaded(false);

    annotations_ = new AnnotationPanel(canvas());
    const GalewickLayout::Rect& list = GalewickLayout::kAnnotationList;
    annotations_->setGeometry(list.x, list.y, list.width, list.height);
    annotationCommands_ = new AnnotationCommands(*annotations_, this, this);
    annotationCommands_->setSealingMode(options_.sealingMode);
    annotationCommands_->setBrowseLocation(QString::fromStdString(configuration_.browseLocation));
    connect(annotationCommands_, &AnnotationCommands::stopPlaybackRequested, this,
            &GalewickUserInterface::stop, Qt::DirectConnection);
    connect(annotationCommands_, &AnnotationCommands::openSessionRequested, this,
            &GalewickUserInterface::searchHitChosen);
    connect(annotations_, &AnnotationPanel::seekRequested, this, &GalewickUserInterface::playFrom);
    connect(annotations_, &AnnotationPanel::annotationEditsAllowedChanged, transport_,
            &TransportBar::setTimeEditsEnabled);
    transport_->setTimeEditsEnabled(annotations_->annotationEditsAllowed());

    video_ = new Win32_VideoDisplayWindow(canvas());
    const GalewickLayout::Rect& videoArea = GalewickLayout::kVideo;
    video_->setGeometry(videoArea.x, videoArea.y, videoArea.width, videoArea.height);
    video_->hide();

    speedWindow_ = new SpeedControlWindow(this);

    createEngine();
    if (bridge_ == nullptr || bridge_->engine() == nullptr) {
        return false;
    }
    channels_ = std::make_unique<ChannelStrip>(*this, bridge_->engine()->channels());
    loader_ = new SessionLoader(*bridge_->engine(), this);
    connect(loader_, &SessionLoader::finished, this, &GalewickUserInterface::sessionLoadFinished);

    transportTarget_ = std::make_unique<WindowTransportTarget>(*this);
    sealerHost_ = std::make_unique<WindowSealerHost>(*this);
    sealerCommands_ = std::make_unique<SealerCommands>(*sealerHost_, this);
    GalewickInputHub::Options inputOptions;
    if (!options_.inputSources) {
        inputOptions.pedal = false;
        inputOptions.globalHotKeys = false;
        inputOptions.mpris = false;
        inputOptions.recorderSignals = false;
    }
    inputHub_ = std::make_unique<GalewickInputHub>(*transportTarget_, this, inputOptions);

    connect(&meterTimer_, &QTimer::timeout, this, &GalewickUserInterface::refreshMeters);
    meterTimer_.start(
        static_cast<int>(std::max<uint32_t>(1, configuration_.meterRefreshIntervalMilliseconds)));
    setStayOnTop(configuration_.stayOnTop);

    if (options_.autoload) {
        startAutoload();
    }
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "GalewickUserInterface::Initialize(): %s window ready.",
                                  options_.sealingMode ? "sealer" : "player");
    return true;
}

void GalewickUserInterface::createEngine() {
    std::string error;
    std::unique_ptr<AudioOutputDevice> device =
        AudioOutputDeviceFactory::create(options_.audioOutput, "", error);
    if (device == nullptr) {
        showNotice(QStringLiteral("Audio output"),
                   QString::fromStdString(error + " Playback goes on without sound."));
        device = AudioOutputDeviceFactory::create("null", "", error);
    }
    bridge_ = std::make_unique<EngineBridge>(std::move(device), this);
    connectEngine();
}

void GalewickUserInterface::connectEngine() {
    EngineBridge* bridge = bridge_.get();
    connect(bridge, &EngineBridge::positionHeard, this, &GalewickUserInterface::positionHeard);
    connect(bridge, &EngineBridge::frameReady, this, &GalewickUserInterface::frameReady);
    connect(bridge, &EngineBridge::playStateChanged, this, [this](bool playing) {
        transport_->showPlaying(playing);
        if (inputHub_ != nullptr) {
            inputHub_->playStateChanged();
        }
    });
    connect(bridge, &EngineBridge::finished, this, [this] { transport_->showPlaying(false); });
    connect(bridge, &EngineBridge::rangesChanged, this, &GalewickUserInterface::rangesChanged);
    connect(bridge, &EngineBridge::annotationsChanged, this, [this] {
        if (hasSession_) {
            annotations_->reload();
        }
    });
    connect(bridge, &EngineBridge::fileSkipped, this, [this](const QString& text) {
        skipped_.append(text);
        if (!isLoading()) {
            // Found by the refresh thread in a session still being recorded.
            transport_->setStatus("Left out: " + text.toStdString());
        }
    });
}

PlaybackEngine* GalewickUserInterface::engine() const {
    return bridge_ != nullptr ? bridge_->engine() : nullptr;
}

bool GalewickUserInterface::engineUsable() const {
    return engine() != nullptr && !isLoading();
}

bool GalewickUserInterface::isLoading() const {
    return loader_ != nullptr && loader_->isLoading();
}

// ---- Sessions ----

bool GalewickUserInterface::LoadSession(const SessionLoader::Request& request, double seekTo) {
    if (!engineUsable()) {
        return false;
    }
    engine()->stop();
    transport_->showPlaying(false);
    transport_->setStatus(TransportBar::kLoadingText);
    skipped_.clear();
    seekAfterLoad_ = seekTo;
    // The panel must let go of the record the engine is about to replace.
    annotations_->clear();
    hasSession_ = false;
    video_->clearFrame();
    return loader_->start(request);
}

bool GalewickUserInterface::LoadSessionAndWait(const SessionLoader::Request& request,
                                               double seekTo) {
    if (waitLoop_ != nullptr || !LoadSession(request, seekTo)) {
        return false;
    }
    QEventLoop loop;
    bool opened = false;
    const QMetaObject::Connection connection =
        connect(this, &GalewickUserInterface::sessionLoaded, &loop, [&](bool result) {
            opened = result;
            loop.quit();
        });
    waitLoop_ = &loop;
    loop.exec();
    waitLoop_ = nullptr;
    disconnect(connection);
    return opened && !left_;
}

void GalewickUserInterface::sessionLoadFinished(const SessionLoader::Result& result) {
    PlaybackEngine& player = *engine();
    if (!result.opened) {
        transport_->setStatus(result.errorText);
        showNotice(windowTitle(), QString::fromStdString(result.errorText));
        // The window shows no session: the engine holds none either.
        player.closeSession();
        transport_->clearSession();
        menus_->setSessionLoaded(false);
        emit sessionLoaded(false);
        return;
    }
    session_.root = result.root;
    session_.location = result.request.locationName;
    session_.year = result.request.year;
    session_.month = result.request.month;
    session_.day = result.request.day;
    session_.offsetSeconds = result.offsetSeconds;
    if (!player.sessionRangeIs(session_.start, session_.end)) {
        session_.start = session_.end = 0.0;
    }
    hasSession_ = true;
    hasVideo_ = player.hasVideoIs();

    transport_->setSession(session_.start, session_.end, session_.offsetSeconds, session_.year,
                           session_.month, session_.day);
    channels_->SetChannelCount(player.channelCountIs(), true);
    rangesChanged(player.timeRangesIs());
    annotations_->setSession(player.recordIs(), session_.offsetSeconds / 3600);
    annotationCommands_->setBrowseLocation(QString::fromStdString(configuration_.browseLocation));
    video_->setVisible(hasVideo_ && !hideVideo_);
    menus_->setSessionLoaded(true);
    applySpeedPosition(speedWindow_->position());

    const std::string playTime = ClockTimeText::elapsed(session_.end - session_.start);
    std::string status = playTime + " -- Play time";
    if (!skipped_.isEmpty()) {
        char left[64];
        std::snprintf(left, sizeof left, " (%lld file%s left out)",
                      static_cast<long long>(skipped_.size()), skipped_.size() == 1 ? "" : "s");
        status += left;
        showSkippedFiles();
    }
    transport_->setStatus(status);
    if (configuration_.autoRefresh) {
        player.setAutoRefresh(true);
    }
    if (seekAfterLoad_ >= 0.0) {
        seekTo(seekAfterLoad_);
        annotations_->followPosition(seekAfterLoad_);
        transport_->showPosition(seekAfterLoad_);
        seekAfterLoad_ = -1.0;
    }
    if (inputHub_ != nullptr) {
        inputHub_->sessionChanged();
    }
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "GalewickUserInterface: session %s opened in %.3f s.",
                                  session_.location.c_str(), result.loadSeconds);
    emit sessionLoaded(true);
}

void GalewickUserInterface::showSkippedFiles() {
    QString text = QStringLiteral(
        "Some files of this session could not be opened and were left "
        "out; the rest of the session plays:\n");
    for (const QString& skipped : skipped_) {
        text += QStringLiteral("\n") + skipped;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("skippedFilesMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void GalewickUserInterface::openSessionCommand() {
    if (openingSession_ || isLoading()) {
        return;
    }
    openingSession_ = true;
    stop();
    SelectSessionDialog dialog(configuration_.browseLocation, this);
    if (dialog.exec() == QDialog::Accepted) {
        const SelectSessionDialog::Choice& choice = dialog.choice();
        configuration_.browseLocation = choice.browseLocation;
        LoadSession(
            {choice.browseLocation, choice.location, choice.year, choice.month, choice.day});
    }
    openingSession_ = false;
}

void GalewickUserInterface::searchHitChosen(const SessionOpenChoice& choice) {
    LoadSession({choice.root.toStdString(), choice.location.toStdString(), choice.year,
                 choice.month, choice.day},
                choice.hasTime ? choice.epochSeconds : -1.0);
}

void GalewickUserInterface::startAutoload() {
    GalewickAutoloadFile file;
    const bool read =
        options_.autoloadPath.empty() ? file.read() : file.read(options_.autoloadPath);
    if (!read) {
        return;
    }
    configuration_.autoRefresh = true;
    autoloadRequest_ = {file.rootPath, file.location, file.year, file.month, file.day};
    AutoloadThread::Session wanted{file.rootPath + "/Recordings", file.location, file.year,
                                   file.month, file.day};
    autoload_ = std::make_unique<AutoloadThread>(wanted, [this](const AutoloadThread::Session&) {
        Win32_WindowMessage::post(this, Win32_WindowMessage::kLoadSession, 0, 0);
    });
    autoload_->start();
}

// ---- Transport ----

void GalewickUserInterface::playFrom(double epochSeconds) {
    if (hasSession_ && engineUsable()) {
        engine()->playFrom(epochSeconds);
        transport_->showPosition(epochSeconds);
    }
}

void GalewickUserInterface::seekTo(double epochSeconds) {
    if (hasSession_ && engineUsable()) {
        engine()->seekTo(epochSeconds);
        transport_->showPosition(epochSeconds);
        transport_->showPlaying(false);
    }
}

void GalewickUserInterface::play() {
    if (hasSession_ && engineUsable()) {
        // From the slider's position, which the user may have moved while stopped.
        engine()->playFrom(transport_->slider().position());
        transport_->showPlaying(true);
    }
}

void GalewickUserInterface::stop() {
    if (engine() != nullptr) {
        engine()->stop();
    }
    transport_->showPlaying(false);
}

void GalewickUserInterface::togglePlay() {
    isPlaying() ? stop() : play();
}

bool GalewickUserInterface::isPlaying() const {
    return engine() != nullptr && engine()->isPlaying();
}

void GalewickUserInterface::applySpeedPosition(int position) {
    const PlaybackSpeed speed = PlaybackSpeed::fromTrackBarPosition(position);
    transport_->speedText().setText(speed.textIs());
    if (engineUsable() && !(engine()->speedIs() == speed)) {
        engine()->setSpeed(speed);
    }
}

// ---- Engine reports ----

void GalewickUserInterface::positionHeard(double epochSeconds) {
    if (!hasSession_ || isLoading()) {
        return;
    }
    transport_->showPosition(epochSeconds);
    annotations_->followPosition(epochSeconds);
}

void GalewickUserInterface::frameReady() {
    if (!hasSession_ || isLoading() || hideVideo_) {
        return;
    }
    if (!video_->isVisible()) {
        video_->show();
    }
    // One copy of the newest frame per repaint: frames arriving faster are coalesced.
    LatestVideoFrame frame;
    if (engine()->player().latestFrameIs(frame)) {
        video_->showFrame(frame);
    }
}

void GalewickUserInterface::rangesChanged(const std::vector<std::vector<TimeRange>>& ranges) {
    if (!hasSession_ || isLoading()) {
        return;
    }
    std::vector<Win32_WindowlessTimeSlider::Segment> segments;
    std::vector<Win32_WindowlessTimeSlider::Segment> sealed;
    for (const std::vector<TimeRange>& channel : ranges) {
        for (const TimeRange& range : channel) {
            (range.sealed ? sealed : segments).push_back({range.start, range.end});
        }
    }
    auto byStart = [](const auto& a, const auto& b) { return a.start < b.start; };
    std::sort(segments.begin(), segments.end(), byStart);
    std::sort(sealed.begin(), sealed.end(), byStart);
    segments.insert(segments.end(), sealed.begin(), sealed.end());
    std::sort(segments.begin(), segments.end(), byStart);
    Win32_WindowlessTimeSlider& slider = transport_->slider();
    slider.setRecordedSegments(segments);
    slider.setSealedRanges(sealed);
    double start = 0.0, end = 0.0;
    if (engine()->sessionRangeIs(start, end) && (start != session_.start || end != session_.end)) {
        session_.start = start;
        session_.end = end;
        slider.setSessionRange(start, end);
    }
    channels_->SetChannelCount(engine()->channelCountIs(), false);
}

void GalewickUserInterface::refreshMeters() {
    if (!hasSession_ || !engineUsable()) {
        return;
    }
    configuration_.meterTimerStamp =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count());
    PlaybackEngine& player = *engine();
    channels_->showLevels([&player](unsigned channel) { return player.channelLevelIs(channel); });
}

// ---- Messages, keys, mouse ----

bool GalewickUserInterface::ProcessWindowsMessage(const Win32_WindowMessage& message) {
    const int number = message.message();
    if (inputHub_ != nullptr &&
        inputHub_->handleMessage(number, message.wParam(), message.lParam())) {
        return true;
    }
    if (channels_ != nullptr && channels_->handleMessage(message)) {
        return true;
    }
    switch (number) {
        case Win32_WindowMessage::kRewindStep:
            if (engineUsable()) {
                engine()->rewind(configuration_.rewindSeconds);
            }
            return true;
        case Win32_WindowMessage::kAdvanceStep:
            if (engineUsable()) {
                engine()->advance(configuration_.advanceSeconds);
            }
            return true;
        case Win32_WindowMessage::kLoadSession:
            if (autoload_ != nullptr) {
                LoadSession(autoloadRequest_);
            }
            return true;
        case Win32_WindowMessage::kTimeSliderReleased:
            playFrom(static_cast<double>(message.lParam()));
            return true;
        case Win32_WindowMessage::kSpeedPosition:
            applySpeedPosition(static_cast<int>(message.wParam()));
            return true;
        case ids::kPlayPressedMessage:
            play();
            return true;
        case ids::kPlayReleasedMessage:
            stop();
            return true;
        case ids::kAnnotatorToggleMessage:
            annotations_->setVisible(!annotations_->isVisible());
            return true;
        case ids::kMinimizeMessage:
            showMinimized();
            return true;
        case ids::kCloseMessage:
            close();
            return true;
        default:
            return false;
    }
}

void GalewickUserInterface::canvasRightButtonUp(const QPoint&, const QPoint& globalPosition) {
    QMenu* menu = menus_->mainMenu();
    // Without a session the first thing to do is open one.
    menu->setActiveAction(hasSession_ ? nullptr : menus_->action(ids::kOpenSession));
    menu->popup(globalPosition);
}

void GalewickUserInterface::keyPressEvent(QKeyEvent* event) {
    Win32_WindowlessTimeSlider& slider = transport_->slider();
    switch (event->key()) {
        case Qt::Key_Escape:
            transport_->clearTimeTexts();
            slider.keyPress(event->key(), event->text(), event->isAutoRepeat());
            break;
        case Qt::Key_F3:
            annotationCommands_->findNext();
            break;
        case Qt::Key_Space:
            if (annotations_->listView().hasFocus()) {
                Win32_BasicWindow::keyPressEvent(event);
                return;
            }
            if (!event->isAutoRepeat()) {
                togglePlay();
            }
            break;
        default:
            if (!slider.keyPress(event->key(), event->text(), event->isAutoRepeat())) {
                Win32_BasicWindow::keyPressEvent(event);
                return;
            }
            break;
    }
    event->accept();
}

void GalewickUserInterface::keyReleaseEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && !event->isAutoRepeat()) {
        // Ends a held step begun by the key's press.
        Win32_WindowMessage::post(this, Win32_WindowMessage::kTransportReleased, 0, 0);
        event->accept();
        return;
    }
    Win32_BasicWindow::keyReleaseEvent(event);
}

void GalewickUserInterface::moveEvent(QMoveEvent* event) {
    Win32_BasicWindow::moveEvent(event);
    if (speedWindow_ != nullptr && speedWindowPlaced_) {
        speedWindow_->followMainWindow(event->oldPos(), event->pos());
    }
}

void GalewickUserInterface::showEvent(QShowEvent* event) {
    Win32_BasicWindow::showEvent(event);
    if (speedWindow_ != nullptr && !speedWindowPlaced_) {
        speedWindowPlaced_ = true;
        speedWindow_->move(frameGeometry().topRight() + QPoint(4, 40));
        speedWindow_->show();
    }
}

void GalewickUserInterface::closeEvent(QCloseEvent* event) {
    leave();
    Win32_BasicWindow::closeEvent(event);
}

// ---- Commands ----

void GalewickUserInterface::runCommand(int commandId) {
    bool isAdvance = false;
    if (const int seconds = GalewickMenus::durationSecondsFor(commandId, isAdvance)) {
        (isAdvance ? configuration_.advanceSeconds : configuration_.rewindSeconds) = seconds;
        (isAdvance ? configuration_.advanceSecondsSet : configuration_.rewindSecondsSet) = true;
        menus_->refreshDurationChecks(configuration_.advanceSeconds, configuration_.rewindSeconds);
        return;
    }
    switch (commandId) {
        case ids::kOpenSession:
            openSessionCommand();
            return;
        case ids::kAdvanced:
            advancedCommand();
            return;
        case ids::kHideVideoWindow:
            setHideVideo(!hideVideo_);
            return;
        case ids::kCopy:
            sealerCommands_->copySelectedRange();
            return;
        case ids::kSealSelectedRange:
            sealerCommands_->sealSelectedRange();
            return;
        case ids::kUnseal:
            sealerCommands_->unseal();
            return;
        case ids::kRecoverSealingSession:
            sealerCommands_->recoverSealingSession();
            return;
        case ids::kAbout:
        case ids::kAboutAccelerator:
            annotationCommands_->runCommand(AnnotationCommands::kAboutCommand);
            return;
        case ids::kExit:
            close();
            return;
        default:
            // The annotation commands stop playback themselves where they need to.
            annotationCommands_->runCommand(commandId);
            return;
    }
}

void GalewickUserInterface::advancedCommand() {
    ConfigurationDialog dialog(configuration_, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const bool refreshChanged = dialog.autoRefreshChanged();
    const int x = configuration_.windowX, y = configuration_.windowY;
    configuration_ = dialog.configuration();
    configuration_.windowX = x;
    configuration_.windowY = y;
    annotationCommands_->setBrowseLocation(QString::fromStdString(configuration_.browseLocation));
    setStayOnTop(configuration_.stayOnTop);
    meterTimer_.setInterval(
        static_cast<int>(std::max<uint32_t>(1, configuration_.meterRefreshIntervalMilliseconds)));
    if (refreshChanged && hasSession_ && engineUsable()) {
        engine()->setAutoRefresh(configuration_.autoRefresh);
    }
    saveConfiguration();
}

void GalewickUserInterface::setHideVideo(bool hidden) {
    hideVideo_ = hidden;
    menus_->setHideVideoChecked(hidden);
    video_->setVisible(!hidden && hasSession_ && hasVideo_);
}

void GalewickUserInterface::setStayOnTop(bool on) {
    if (on == windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        return;
    }
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        show();
    }
}

void GalewickUserInterface::showNotice(const QString& title, const QString& text) {
    if (transport_ != nullptr) {
        transport_->setStatus(text.toStdString());
    }
    if (!noticesShown_.insert(text).second) {
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("noticeMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// ---- Leaving ----

void GalewickUserInterface::saveConfiguration() {
    const QPoint corner = frameGeometry().topLeft();
    configuration_.windowX = corner.x();
    configuration_.windowY = corner.y();
    std::string error;
    const bool saved = options_.configurationPath.empty()
                           ? configuration_.saveConfiguration(&error)
                           : configuration_.saveConfiguration(options_.configurationPath, &error);
    if (!saved) {
        AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                      "GalewickUserInterface: configuration not saved: %s",
                                      error.c_str());
    }
}

void GalewickUserInterface::leave() {
    if (left_ || bridge_ == nullptr) {
        return;
    }
    left_ = true;
    saveConfiguration();
    meterTimer_.stop();
    if (autoload_ != nullptr) {
        autoload_->stop();
    }
    // The input sources drive the engine: they go first (the repeat thread is joined).
    inputHub_.reset();
    if (waitLoop_ != nullptr) {
        // A sealer command waits for its reload inside its own handler: it goes with the
        // window, after the wait has returned.
        waitLoop_->quit();
    } else {
        sealerCommands_.reset();
    }
    // A load in progress finishes before the engine goes (the loader joins its worker).
    delete loader_;
    loader_ = nullptr;
    annotations_->clear();
    hasSession_ = false;
    // Detaches the engine's callbacks and stops it properly: the engine joins its feeder,
    // refresh and wave threads, so nothing needs a sleep to settle.
    bridge_->shutdown();
    speedWindow_->close();
}
