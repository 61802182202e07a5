#include "app/version.h"

namespace app {

QString versionNumber() {
    return QStringLiteral(BRENVALE_VERSION);
}

QString versionCaption() {
    return "Brenvale(tm) - Version " + versionNumber();
}

} // namespace app
