#include "SealerCommands.h"

#include <QWidget>

#include "ProgressDialog.h"
#include "SealerHost.h"

struct SealerCommands::Run {};

SealerCommands::SealerCommands(SealerHost& host, QWidget* parentWidget, QObject* parent)
    : QObject(parent), host_(host), parentWidget_(parentWidget) {}

SealerCommands::~SealerCommands() = default;

void SealerCommands::sealSelectedRange() {
    if (busy_) {
        return;
    }
    host_.stopPlayback();
}

void SealerCommands::unseal() {
    if (busy_) {
        return;
    }
    host_.stopPlayback();
}

void SealerCommands::recoverSealingSession() {
    if (busy_) {
        return;
    }
    host_.stopPlayback();
}

void SealerCommands::copySelectedRange() {
    if (busy_) {
        return;
    }
    host_.stopPlayback();
}

void SealerCommands::startSealingRun(bool, std::unique_ptr<Run>) {}

void SealerCommands::startCopyRun(std::unique_ptr<Run>) {}

void SealerCommands::workerDone(bool succeeded) {
    busy_ = false;
    emit runFinished(succeeded);
}

ProgressDialog* SealerCommands::newProgressDialog() {
    return nullptr;
}

ProgressDialog* SealerCommands::progressDialog() const {
    return progress_.data();
}
