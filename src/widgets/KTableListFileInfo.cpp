#include "KTableListFileInfo.h"

#include <cmath>

#include <QFileInfo>
#include <QFontMetrics>
#include <QVBoxLayout>

#include "widgets/StyleSheets.h"

KTableListFileInfo::KTableListFileInfo(QWidget *parent, const QString &path)
    : QLabel(parent)
{
    setFixedSize(340, 50);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addSpacing(14);
    m_path = new QLabel(this);
    m_path->setFixedSize(340, 15);
    m_path->setFont(font);
    m_path->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    m_path->setText(QFontMetrics(font).elidedText(path, Qt::ElideMiddle, 300));
    m_path->setToolTip(path);
    layout->addWidget(m_path);
    layout->addSpacing(2);
    m_size = new QLabel(this);
    m_size->setFixedSize(340, 15);
    m_size->setFont(font);
    m_size->setStyleSheet(QStringLiteral("color:#999999;"));
    m_size->setText(sizeText(QFileInfo(path).size()));
    layout->addWidget(m_size);
    layout->addSpacing(14);
}

QString KTableListFileInfo::sizeText(qint64 bytes)
{
    if (bytes > 1048576) {
        const double megabytes = std::floor(double(bytes) * 100.0 / 1048576.0) / 100.0;
        return QString::number(megabytes, 'g', 2) + QStringLiteral("MB");
    }
    if (bytes > 1024)
        return QString::number(bytes / 1024) + QStringLiteral("KB");
    return QString::number(bytes) + QStringLiteral("B");
}

QString KTableListFileInfo::pathText() const { return m_path->text(); }

QString KTableListFileInfo::sizeLabelText() const { return m_size->text(); }
