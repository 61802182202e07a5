#pragma once
// A main window started in a fresh settings folder: the folder is the current
// directory, COM1 there is a link to a pseudo-terminal that nobody serves (so
// start-up never reaches the machine's own serial ports), dialogs are scripted
// and the clock is manual, so the protocol's pauses are instant.
#include "app/tform1.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class AppFixture {
  public:
    AppFixture();
    ~AppFixture();
    AppFixture(const AppFixture&) = delete;
    AppFixture& operator=(const AppFixture&) = delete;

    // Creates the main window and runs its start-up.
    TForm1& start(const QString& argument = QString());
    // The same, with `watch` run on the window before its start-up.
    TForm1& startWatched(const std::function<void(TForm1&)>& watch,
                         const QString& argument = QString());
    TForm1& form() { return *m_form; }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    void writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;
    // Points <settings folder>/COMn at a device path.
    void linkPort(int n, const QString& device) const;

    platform::ScriptedDialogs dialogs;
    platform::ManualClock clock;

  private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    int m_idlePty = -1;
    std::unique_ptr<TForm1> m_form;
};
