#pragma once
// The three settings files (COMPORT.DAT, DATEFMT.DAT, USERINFO.DAT): UTF-8
// text, read and written whole through the hidden memo that mirrors each.
#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace app {

// The file's whole text with every line break made CR LF, or nothing when the
// file does not exist (or cannot be read).
std::optional<QString> readText(const QString& path);
// The text of a settings file's bytes, as readText makes it: UTF-8, else
// Latin-1, every line break made CR LF.
QString settingsText(const QByteArray& bytes);

// Replaces the file with the text, byte for byte. Raises
// platform::FileCreateError when the file cannot be created or written.
void writeText(const QString& path, const QString& text);

// The four values of a USERINFO.DAT text: the text after each ": ", taking
// the values in order with one cursor (the first ":" is blanked after each of
// the first three), each cut at its first LF and then its first CR. Texts with
// fewer separators give empty values.
std::array<QString, 4> parseUserInfo(const QString& text);

// The USERINFO.DAT text for a name, location, logger ID and version.
QString buildUserInfo(const QString& name, const QString& location, const QString& unitId,
                      const QString& version);

// The version stored with the user information: the caption up to its first " |".
QString versionFromCaption(const QString& caption);

} // namespace app
