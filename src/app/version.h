#pragma once
// The program's name and version as the window caption shows them. The
// caption goes into USERINFO.DAT and the data files, and `--version` prints
// it; the number is the project's version, which also names the package.
#include <QString>

namespace app {

QString versionNumber();  // "5.2.1"
QString versionCaption(); // "Brenvale(tm) - Version 5.2.1"

} // namespace app
