#pragma once
// Button pictures, drawn as vector shapes so they stay sharp at any scale
// and need no image plug-in.
#include <QIcon>

// Names: new, open, save, center, para, break, link, image, table, target,
// handup, handdown.
QIcon buttonIcon(const QString &name);
