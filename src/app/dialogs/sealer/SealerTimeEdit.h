#pragma once

#include <QTime>

#include "SealerClock.h"

class QTimeEdit;
class QWidget;

// The time pickers of the sealer dialogs: a QTimeEdit with seconds on the 12-hour clock, and
// the conversions between its time and epoch seconds on the session's day.
class SealerTimeEdit {
public:
    // A new picker named `id` (its control number).
    static QTimeEdit* create(QWidget* parent, int id);
    static void setEpoch(QTimeEdit* edit, const SealerClock& clock, double epochSeconds);
    static double epoch(const QTimeEdit* edit, const SealerClock& clock);
};
