#pragma once

#include <QImage>
#include <QLabel>

// Single-image preview: the image scaled into the panel with a soft shadow
// and its file name below.
class KTableImageView : public QLabel
{
    Q_OBJECT
public:
    explicit KTableImageView(QWidget *parent = nullptr);

    void setImage(const QString &path, const QImage &image);
    QImage shownImage() const { return m_image; }
    QString nameText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_name = nullptr;
    QImage m_image;
};
