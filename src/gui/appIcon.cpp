#include "gui/appIcon.h"

QIcon AppIcon() {
    QIcon icon;
    for (const char* size : {"16", "32", "64"}) {
        icon.addFile(QStringLiteral(":/kestrane/kestrane-%1.png").arg(QLatin1String(size)));
    }
    return icon;
}
