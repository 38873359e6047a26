#pragma once

#include <QImage>
#include <QWidget>

class KImageShowLabel;
class QPushButton;

// Toolbar, then the source ("original image") beside the result ("convert image").
class KImageCompareWidget : public QWidget
{
    Q_OBJECT
public:
    explicit KImageCompareWidget(QWidget *parent = nullptr);

    void setImages(const QImage &original, const QImage &converted, quint32 originalBytes,
        quint32 convertedBytes);
    void setConvertedImage(const QImage &image, quint32 bytes);
    KImageShowLabel *originalLabel() const { return m_original; }
    KImageShowLabel *convertedLabel() const { return m_converted; }
    QPushButton *addButton() const { return m_add; }
    QPushButton *clearButton() const { return m_clear; }

signals:
    void addFile();
    void clearFile();

private:
    KImageShowLabel *m_original = nullptr;
    KImageShowLabel *m_converted = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_clear = nullptr;
};
