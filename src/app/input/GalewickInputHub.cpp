#include "GalewickInputHub.h"

#include <QGuiApplication>
#include <QShortcut>
#include <QWidget>

#include "AvDebugLogger.h"
#include "HoldRepeater.h"
#include "HotKeyTable.h"
#include "JogController.h"
#include "MprisAdaptor.h"
#include "PedalReader.h"
#include "PortalGlobalShortcuts.h"
#include "RecorderSignals.h"
#include "TransportTarget.h"
#include "X11HotKeyGrabber.h"

GalewickInputHub::GalewickInputHub(TransportTarget& target, QWidget* window)
    : GalewickInputHub(target, window, Options()) {}

GalewickInputHub::GalewickInputHub(TransportTarget& target, QWidget* window, const Options& options)
    : target_(target), window_(window), options_(options) {
    jog_ = std::make_unique<JogController>(target_);

    repeater_ = std::make_unique<HoldRepeater>([this](HoldRepeater::Action action) {
        // On the repeat thread: only queue the action for this thread.
        QMetaObject::invokeMethod(
            this, [this, action] { jog_->performHoldAction(action); }, Qt::QueuedConnection);
    });
    jog_->setHoldRepeater(repeater_.get());
    if (options_.repeatThread) {
        repeater_->start();
    }

    if (options_.pedal) {
        pedal_ = std::make_unique<PedalReader>(
            makeHidrawPedalDeviceSource(), [this](const PedalReader::Report& report) {
                QMetaObject::invokeMethod(
                    this,
                    [this, report] {
                        handlePedalReport(report.data(), static_cast<int>(report.size()));
                    },
                    Qt::QueuedConnection);
            });
        pedal_->start();
    }

    if (options_.applicationShortcuts && window_ != nullptr) {
        for (const HotKeyTable::Entry& entry : HotKeyTable::entries()) {
            auto* shortcut = new QShortcut(window_);
            QList<QKeySequence> keys{entry.key};
            if (!entry.alternateKey.isEmpty()) {
                keys.append(entry.alternateKey);
            }
            shortcut->setKeys(keys);
            shortcut->setContext(Qt::ApplicationShortcut);
            const int id = entry.id;
            connect(shortcut, &QShortcut::activated, this, [this, id] { handleHotKey(id); });
            shortcuts_.push_back(shortcut);
        }
    }

    if (options_.globalHotKeys) {
        setUpGlobalHotKeys();
    }
    if (options_.mpris) {
        mpris_ = std::make_unique<MprisAdaptor>(target_, *jog_, window_, bus(),
                                                [this] { requestClose(); });
    }
    if (options_.recorderSignals) {
        recorderSignals_ =
            std::make_unique<RecorderSignals>(target_, bus(), [this] { requestClose(); });
    }
}

GalewickInputHub::~GalewickInputHub() {
    // The threads first, so nothing is queued to a half-destroyed hub.
    pedal_.reset();
    repeater_.reset();
    // The window may have deleted its children already.
    for (const QPointer<QShortcut>& shortcut : shortcuts_) {
        delete shortcut.data();
    }
}

QDBusConnection GalewickInputHub::bus() const {
    if (options_.busConnectionName.isEmpty()) {
        return QDBusConnection::sessionBus();
    }
    return QDBusConnection(options_.busConnectionName);
}

void GalewickInputHub::setUpGlobalHotKeys() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        x11Keys_ = std::make_unique<X11HotKeyGrabber>([this](int id) { handleHotKey(id); });
        x11Keys_->grabAll();
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        portalKeys_ =
            std::make_unique<PortalGlobalShortcuts>([this](int id) { handleHotKey(id); }, bus());
        portalKeys_->start();
    } else {
        AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                      "GalewickInputHub: no system-wide hot keys on the platform "
                                      "\"%s\"; they work while the player has the focus.",
                                      qPrintable(platform));
    }
}

void GalewickInputHub::requestClose() {
    // The window outlives the hub and owns the target, so the queued call is dropped only when
    // the window itself is gone.
    QObject* context = window_ != nullptr ? static_cast<QObject*>(window_) : this;
    TransportTarget* target = &target_;
    QMetaObject::invokeMethod(
        context, [target] { target->closeWindow(); }, Qt::QueuedConnection);
}

bool GalewickInputHub::handleMessage(int message, intptr_t, intptr_t) {
    switch (message) {
        case kRewindStepMessage:
            jog_->rewindStep();
            return true;
        case kAdvanceStepMessage:
            jog_->advanceStep();
            return true;
        case kJogTimerMessage:
            jog_->handleJogTimer();
            return true;
        case kFastForwardPressedMessage:
            jog_->heldButtonPressed(true);
            return true;
        case kRewindPressedMessage:
            jog_->heldButtonPressed(false);
            return true;
        case kButtonReleasedMessage:
            jog_->heldButtonReleased();
            return true;
        default:
            return false;
    }
}

void GalewickInputHub::handlePedalReport(const unsigned char* report, int reportSize) {
    jog_->handlePedalReport(report, reportSize < 0 ? 0 : static_cast<std::size_t>(reportSize));
}

void GalewickInputHub::handleHotKey(int id) {
    HotKeyTable::perform(id, target_, *jog_);
}

void GalewickInputHub::playStateChanged() {
    if (mpris_) {
        mpris_->playStateChanged();
    }
}

void GalewickInputHub::sessionChanged() {
    if (mpris_) {
        mpris_->sessionChanged();
    }
}

JogController& GalewickInputHub::jog() {
    return *jog_;
}
