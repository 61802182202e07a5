#pragma once
// An automatic save of the built program killed in the middle of it: the
// program runs `--headless --auto once` against the simulated logger program
// in a settings folder of its own, with the crash library preloaded to kill
// it at its k-th call that changes a file there; then it runs again as the
// next automatic download would, and the monthly files must hold every
// sample of the logger once, in order, their duplicates loading back.
#include "auto_rig.h"
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The environment that preloads the crash library for a program changing
// files under `folder`; `variable`: BRENVALE_CRASH_AT or BRENVALE_CRASH_COUNT.
QProcessEnvironment crashLibrary(const QString& folder, const QString& variable,
                                 const QString& value);

struct CrashSave {
    int samples = 20000;
    int channels = 1;                      // 1: channel 1 only, 2: both
    QString first = "2026-11-29T12:00:00"; // 240 an hour: 20,000 samples cross 30 November
};

// The calls of an uninterrupted save that change its files; -1 when it failed.
int countFileCalls(const CrashSave& save);

struct CrashOutcome {
    QString error; // empty when the files came out right
    bool killed = false;
    qsizetype rows = 0; // the rows checked in the plain files
};
// The save killed at its k-th call, then run again; the files checked.
CrashOutcome crashThenRecover(const CrashSave& save, int k);
