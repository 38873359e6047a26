#pragma once

#include <QPixmap>
#include <QString>

class QIcon;

// Showing results to the user through the desktop: the default application,
// the file manager, and the round avatar picture. Interface thread.

// Opens the file with the desktop's default application. Empty path: nothing.
void openFile(const QString &path);

// Shows the file's folder in the file manager with the file selected where the
// file manager supports it (freedesktop FileManager1 over D-Bus), otherwise
// just opens the folder. Empty path: nothing.
void revealInFolder(const QString &path);

// The icon cut to a circle of the given radius, on a 2r x 2r transparent pixmap.
QPixmap roundedIcon(const QIcon &icon, int radius);
