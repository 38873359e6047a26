#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

// Where the shared widgets and the tool views find the program's pictures, and
// the window that parents their dialogs. The shell sets both up at start-up;
// widgets built alone (tests) get the compiled-in set and no main window.
// Interface thread.
namespace WidgetResources {

// Prefix of every picture name; ":/Resources/" unless the shell says otherwise.
void setResourcePrefix(const QString &prefix);
QIcon icon(const QString &name);
QPixmap pixmap(const QString &name);

// The main window, once the shell has made it; null before and in tests.
void setMainWidget(QWidget *window);
QWidget *mainWidget();

} // namespace WidgetResources
