#include "WidgetResources.h"

#include <QPointer>
#include <QWidget>

namespace {

QString &prefix()
{
    static QString value = QStringLiteral(":/Resources/");
    return value;
}

QPointer<QWidget> &mainWindow()
{
    static QPointer<QWidget> window;
    return window;
}

} // namespace

namespace WidgetResources {

void setResourcePrefix(const QString &newPrefix) { prefix() = newPrefix; }

QIcon icon(const QString &name) { return QIcon(prefix() + name); }

QPixmap pixmap(const QString &name) { return QPixmap(prefix() + name); }

void setMainWidget(QWidget *window) { mainWindow() = window; }

QWidget *mainWidget() { return mainWindow().data(); }

} // namespace WidgetResources
