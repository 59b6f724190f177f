#pragma once

// Include in exactly one file of a threaded Qt Test program. Qt Test's watchdog thread ends
// through Qt's own futex-based wait, which ThreadSanitizer cannot see, so the destruction of its
// wait condition at the end of the run is reported as a race although the thread has finished.
// Only these two frames of Qt's test harness are silenced; the program's own code is not.
extern "C" const char* __tsan_default_suppressions() {
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QTest::qRun\n";
}
