#pragma once

#include <QIcon>

// The application's icon (a kestrel on a coin), from the compiled-in resources.
QIcon AppIcon();
