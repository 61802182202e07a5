#pragma once
// Runs a program to its end and keeps what it printed.
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProgramRun {
    bool started = false;
    int exitCode = -1; // -1 also when it crashed or overran the time-out
    QString out, err;
};

ProgramRun
runProgram(const QString& program, const QStringList& arguments, const QString& folder = QString(),
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
           int timeoutMs = 120000);
