#include "app/settings_files.h"
#include "platform/errors.h"
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace app {

std::optional<QString> readText(const QString& path) {
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return settingsText(file.readAll());
}

QString settingsText(const QByteArray& bytes) {
    // UTF-8, as written since user texts may hold any character; files of
    // older versions are Latin-1, which is seldom valid UTF-8.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError())
        decoded = QString::fromLatin1(bytes);
    QString text;
    text.reserve(decoded.size() + 8);
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const QChar c = decoded[i];
        if (c == '\r' || c == '\n') {
            text += "\r\n";
            if (c == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n')
                ++i;
        } else {
            text += c;
        }
    }
    return text;
}

void writeText(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw platform::FileCreateError(
            QString("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw platform::FileCreateError(
            QString("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}

std::array<QString, 4> parseUserInfo(const QString& text) {
    std::array<QString, 4> values;
    QString working = text;
    for (int k = 0; k < 4; ++k) {
        const qsizetype at = working.indexOf(": ");
        values[k] = at < 0 ? QString() : working.mid(at + 2);
        if (k < 3) {
            const qsizetype colon = working.indexOf(':');
            if (colon >= 0)
                working[colon] = ' ';
        }
    }
    for (QString& value : values) {
        value.truncate(value.indexOf('\n') < 0 ? value.size() : value.indexOf('\n'));
        value.truncate(value.indexOf('\r') < 0 ? value.size() : value.indexOf('\r'));
    }
    return values;
}

QString buildUserInfo(const QString& name, const QString& location, const QString& unitId,
                      const QString& version) {
    return "~User Name: " + name + "\r\n~User Location: " + location + "\r\n~BV ID: " + unitId +
           "\r\n~PC Software Version: " + version + "\r\n";
}

QString versionFromCaption(const QString& caption) {
    const qsizetype bar = caption.indexOf(" |");
    return bar < 0 ? caption : caption.left(bar);
}

} // namespace app
