#pragma once

#include <QImage>
#include <QLabel>

// One side of a comparison: caption, the image scaled into the panel, and a
// line with its resolution and byte size.
class KImageShowLabel : public QLabel
{
    Q_OBJECT
public:
    KImageShowLabel(const QString &caption, bool flag = false, QWidget *parent = nullptr);

    void setImage(const QImage &image, quint32 bytes);

    static QString infoText(const QSize &size, quint32 bytes);
    QString infoLine() const;
    QImage image() const { return m_image; }
    QSize shownSize() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_flag = false;
    QImage m_image;
    QLabel *m_caption = nullptr;
    QLabel *m_picture = nullptr;
    QLabel *m_info = nullptr;
};
