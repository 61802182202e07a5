#pragma once
// The locale x rate matrix: whole uploads under the user's formats of several
// locales, saved and loaded back. The user's formats shape only what the user
// reads, so every locale must store the logger's samples exactly and write
// the same bytes. Shared by the matrix programs of the two header formats.
#include "upload_rig.h"
#include <QStringList>

// The locales of the matrix, "C" first.
extern const QStringList kMatrixLocales;

// The link stays at 19200: a change of rate reopens the port, which costs
// seconds of real time and has nothing to do with the user's formats.
extern const QString kMatrixPort;

// Puts the user's formats of a locale in force, as start-up takes them from
// the system's.
void useLocale(const QString& name);

// A logger of `format` whose channels hold `count` samples at `perHour`, with RH.
bvsim::LoggerConfig matrixLogger(int format, double perHour, int count);

// One row: under every locale in turn, "All data" is uploaded (1501 samples,
// so a block of 1500 and one more), compared with the logger, saved, compared
// with the files saved under "C", loaded back and compared again. Returns the
// first difference ("locale: what"), or an empty text.
QString uploadSaveLoadUnderEveryLocale(int format, double perHour);
