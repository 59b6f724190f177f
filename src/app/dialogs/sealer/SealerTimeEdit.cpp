#include "SealerTimeEdit.h"

#include <QTimeEdit>

QTimeEdit* SealerTimeEdit::create(QWidget* parent, int id) {
    auto* edit = new QTimeEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setDisplayFormat(QStringLiteral("h:mm:ss AP"));
    edit->setTime(QTime(0, 0, 0));
    return edit;
}

void SealerTimeEdit::setEpoch(QTimeEdit* edit, const SealerClock& clock, double epochSeconds) {
    const SealerClock::TimeOfDay time = clock.timeOfDay(epochSeconds);
    edit->setTime(QTime(time.hour, time.minute, time.second));
}

double SealerTimeEdit::epoch(const QTimeEdit* edit, const SealerClock& clock) {
    const QTime time = edit->time();
    return clock.epochOf(SealerClock::TimeOfDay{time.hour(), time.minute(), time.second()});
}
