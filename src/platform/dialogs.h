#pragma once
// The door to the user's dialogs: message boxes, the standard error message
// box, and the open, save and print dialogs. The window program uses real
// dialogs; tests and the command line install ScriptedDialogs, which answer
// from a script and record what was shown.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

class QWidget;
class QPrinter;

namespace platform {

class UserDialogs {
  public:
    virtual ~UserDialogs() = default;
    // A message box with an OK button ("Problem" boxes and the like).
    virtual void messageBox(const QString& text, const QString& caption) = 0;
    // The application's standard exception message box.
    virtual void showError(const QString& text) = 0;
    // File dialogs: the chosen name, or nothing when cancelled.
    virtual std::optional<QString> saveFileName(const QString& filter,
                                                const QString& defaultSuffix) = 0;
    virtual std::optional<QString> openFileName(const QString& filter,
                                                const QString& defaultSuffix) = 0;
    // The print dialog: configures the printer; false when cancelled.
    virtual bool printDialog(QPrinter& printer) = 0;
};

UserDialogs& dialogs();
void setDialogs(UserDialogs* dialogs); // nullptr restores the real dialogs

// Every message box and error shown is also passed here (the command line
// echoes them to stderr).
void setMessageEcho(std::function<void(const QString&)> echo);
void echoMessage(const QString& text);

// Answers dialogs from a script and records everything shown.
class ScriptedDialogs : public UserDialogs {
  public:
    struct Shown {
        QString text;
        QString caption; // "" for the standard error box
    };
    void messageBox(const QString& text, const QString& caption) override;
    void showError(const QString& text) override;
    std::optional<QString> saveFileName(const QString& filter,
                                        const QString& defaultSuffix) override;
    std::optional<QString> openFileName(const QString& filter,
                                        const QString& defaultSuffix) override;
    bool printDialog(QPrinter& printer) override;

    // Next answers; an empty queue answers "cancel".
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QString>> openAnswers;
    // PDF file to print to; empty means the print dialog is cancelled.
    QString printToPdf;
    // The output file each print dialog opened with (the one printed to
    // last, when the printer is kept).
    QStringList printersOffered;

    std::vector<Shown> shown;
    QStringList errors() const;   // texts of standard error boxes
    QStringList messages() const; // texts of message boxes
};

} // namespace platform
