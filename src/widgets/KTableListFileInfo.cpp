#include "KTableListFileInfo.h"

#include <cmath>

#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
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
    auto *second = new QHBoxLayout();
    second->setContentsMargins(0, 0, 0, 0);
    second->setSpacing(8);
    m_size = new QLabel(this);
    m_size->setFixedHeight(15);
    m_size->setFont(font);
    m_size->setStyleSheet(QStringLiteral("color:#999999;"));
    m_size->setText(sizeText(QFileInfo(path).size()));
    m_size->setFixedWidth(QFontMetrics(font).horizontalAdvance(m_size->text()) + 2);
    second->addWidget(m_size);
    m_note = new QLabel(this);
    m_note->setFixedHeight(15);
    m_note->setFont(font);
    m_note->setStyleSheet(QStringLiteral("color:#E5484D;"));
    m_note->hide();
    second->addWidget(m_note);
    second->addStretch(1); // both stay at the left edge, under the path
    layout->addLayout(second);
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

void KTableListFileInfo::setNote(const QString &note)
{
    // The path above is elided to 300 px; the note ends at the same place.
    const int room = 300 - m_size->width() - 8;
    m_note->setText(QFontMetrics(m_note->font()).elidedText(note, Qt::ElideRight, room));
    m_note->setFixedWidth(qMax(0, room));
    m_note->setVisible(!note.isEmpty());
}

QString KTableListFileInfo::noteText() const
{
    return m_note->isHidden() ? QString() : m_note->text();
}
