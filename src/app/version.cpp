#include "app/version.h"

namespace version {

QString number() {
    return QStringLiteral(BRENVALE_VERSION);
}

QString caption() {
    return "Brenvale(tm) - Version " + number();
}

} // namespace version
