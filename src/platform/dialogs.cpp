#include "platform/dialogs.h"
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace platform {
namespace {

// Qt wants "Comma Delimited (.csv) (*.csv);;Text file (.txt) (*.txt)" where the
// program speaks "Comma Delimited (.csv)|*.csv|Text file (.txt)|*.txt".
QString toQtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return out.join(";;");
}

class WidgetDialogs : public UserDialogs {
  public:
    void messageBox(const QString& text, const QString& caption) override {
        echoMessage(text);
        QMessageBox::information(QApplication::activeWindow(), caption, text);
    }
    void showError(const QString& text) override {
        echoMessage(text);
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
    }
    std::optional<QString> saveFileName(const QString& filter,
                                        const QString& defaultSuffix) override {
        QFileDialog dialog(QApplication::activeWindow());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(toQtFilter(filter));
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
    std::optional<QString> openFileName(const QString& filter,
                                        const QString& defaultSuffix) override {
        QFileDialog dialog(QApplication::activeWindow());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(toQtFilter(filter));
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
    bool printDialog(QPrinter& printer) override {
        QPrintDialog dialog(&printer, QApplication::activeWindow());
        return dialog.exec() == QDialog::Accepted;
    }
};

WidgetDialogs g_widgetDialogs;
UserDialogs* g_dialogs = &g_widgetDialogs;
std::function<void(const QString&)> g_echo;

std::optional<QString> takeAnswer(std::deque<std::optional<QString>>& answers) {
    std::optional<QString> answer;
    if (!answers.empty()) {
        answer.swap(answers.front());
        answers.pop_front();
    }
    return answer;
}

} // namespace

UserDialogs& dialogs() {
    return *g_dialogs;
}

void setDialogs(UserDialogs* replacement) {
    g_dialogs = replacement ? replacement : &g_widgetDialogs;
}

void setMessageEcho(std::function<void(const QString&)> echo) {
    g_echo = std::move(echo);
}

void echoMessage(const QString& text) {
    if (g_echo)
        g_echo(text);
}

void ScriptedDialogs::messageBox(const QString& text, const QString& caption) {
    echoMessage(text);
    shown.push_back({text, caption});
}

void ScriptedDialogs::showError(const QString& text) {
    echoMessage(text);
    shown.push_back({text, QString()});
}

std::optional<QString> ScriptedDialogs::saveFileName(const QString&, const QString&) {
    return takeAnswer(saveAnswers);
}

std::optional<QString> ScriptedDialogs::openFileName(const QString&, const QString&) {
    return takeAnswer(openAnswers);
}

bool ScriptedDialogs::printDialog(QPrinter& printer) {
    printersOffered << printer.outputFileName();
    if (printToPdf.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printToPdf);
    return true;
}

QStringList ScriptedDialogs::errors() const {
    QStringList out;
    for (const Shown& s : shown)
        if (s.caption.isEmpty())
            out << s.text;
    return out;
}

QStringList ScriptedDialogs::messages() const {
    QStringList out;
    for (const Shown& s : shown)
        if (!s.caption.isEmpty())
            out << s.text;
    return out;
}

} // namespace platform
