#pragma once

#include <QImage>
#include <QWidget>

class KImageAddFileShowView;
class KImageOcrCompareView;
class QStackedLayout;

// The display of the recognition views: the add-file panel (prompt or the
// opened image) on page 0, the source beside its result on page 1. Dropped
// files are not taken; images come only through "addFile" or a click.
class KImageOcrShowCompareView : public QWidget
{
    Q_OBJECT
public:
    explicit KImageOcrShowCompareView(QWidget *parent = nullptr);

    void setHintText(const QString &text);
    void showSource(const QString &path, const QImage &image);
    void showResultText(const QString &text);
    void showResultImage(const QImage &image);
    void reset();
    void setButtonsEnabled(bool enabled);

    int currentPage() const;
    KImageAddFileShowView *addPage() const { return m_addPage; }
    KImageOcrCompareView *comparePage() const { return m_comparePage; }

signals:
    void addFile();
    void clearFile();

private:
    KImageAddFileShowView *m_addPage = nullptr;
    KImageOcrCompareView *m_comparePage = nullptr;
    QStackedLayout *m_stack = nullptr;
    QString m_path;
    QImage m_image;
};
