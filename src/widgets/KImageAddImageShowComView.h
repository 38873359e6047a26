#pragma once

#include <QImage>
#include <QWidget>

class KImageAddFileShowView;
class KImageCompareWidget;
class QStackedLayout;

// Drop area / single image on page 0, comparison on page 1.
class KImageAddImageShowComView : public QWidget
{
    Q_OBJECT
public:
    explicit KImageAddImageShowComView(QWidget *parent = nullptr);

    void setButtonsEnabled(bool enabled);
    void showImage(const QString &path, const QImage &image);
    void setHintText(const QString &text);
    void showAddPrompt();
    void showCompare(const QImage &original, const QImage &converted, quint32 originalBytes,
        quint32 convertedBytes);
    int currentPage() const;
    KImageAddFileShowView *addPage() const { return m_addPage; }
    KImageCompareWidget *comparePage() const { return m_comparePage; }

signals:
    void addFile();
    void clearFile();
    void addFiles(const QStringList &files);

private:
    KImageAddFileShowView *m_addPage = nullptr;
    KImageCompareWidget *m_comparePage = nullptr;
    QStackedLayout *m_stack = nullptr;
};
