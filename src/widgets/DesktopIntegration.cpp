#include "DesktopIntegration.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

void openFile(const QString &path)
{
    if (path.isEmpty())
        return;
    // fromLocalFile percent-encodes "#" and friends, so the launcher never
    // reads part of the path as a fragment.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void revealInFolder(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList { QUrl::fromLocalFile(absolute).toString() } << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(absolute).absolutePath()));
}

QPixmap roundedIcon(const QIcon &icon, int radius)
{
    const QSize size(2 * radius, 2 * radius);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (radius <= 0)
        return QPixmap::fromImage(image);

    QImage mask(size, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::black);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QPainterPath circle;
        circle.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
        painter.fillPath(circle, Qt::transparent);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(0, 0, mask);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOut);
    painter.drawPixmap(
        0, 0, icon.pixmap(size).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    painter.end();
    return QPixmap::fromImage(image);
}
