#pragma once

#include <QImage>
#include <QWidget>

class KImageAddFileWidget;
class KImageCompareWidget;
class QStackedLayout;

// Upper area of the single-image tools: the empty page, or the comparison.
// A clear from either page returns to the empty page before the tool hears of it.
class KImageContentView : public QWidget
{
    Q_OBJECT
public:
    explicit KImageContentView(QWidget *parent = nullptr);

    void showComparePage(bool compare);
    void setImages(const QImage &original, const QImage &converted, quint32 originalBytes,
        quint32 convertedBytes);
    void setConvertedImage(const QImage &image, quint32 bytes);
    void setHintText(const QString &text);
    int currentPage() const;
    KImageAddFileWidget *emptyPage() const { return m_emptyPage; }
    KImageCompareWidget *comparePage() const { return m_comparePage; }

signals:
    void addFile();
    void clearFile();

public slots:
    void onAddFile();
    void onClearFile();

private:
    KImageAddFileWidget *m_emptyPage = nullptr;
    KImageCompareWidget *m_comparePage = nullptr;
    QStackedLayout *m_stack = nullptr;
};
