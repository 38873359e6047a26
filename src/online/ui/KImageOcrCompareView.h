#pragma once

#include <QLabel>

class KImageOcrResultLabel;
class KImageShowLabel;
class QPushButton;
class QStackedLayout;

// A recognition result beside its source: "original image" on the left and,
// on the right, the recognised text or the result picture.
class KImageOcrCompareView : public QLabel
{
    Q_OBJECT
public:
    explicit KImageOcrCompareView(QWidget *parent = nullptr);

    void showText(const QImage &source, const QString &text);
    void showImage(const QImage &source, const QImage &result);
    void setButtonsEnabled(bool enabled);

    KImageShowLabel *sourceLabel() const { return m_source; }
    KImageOcrResultLabel *textLabel() const { return m_text; }
    KImageShowLabel *imageLabel() const { return m_image; }
    bool showsText() const;
    QPushButton *addButton() const { return m_add; }
    QPushButton *clearButton() const { return m_clear; }

signals:
    void addFile();
    void clearFile();

private:
    KImageShowLabel *m_source = nullptr;
    KImageOcrResultLabel *m_text = nullptr;
    KImageShowLabel *m_image = nullptr;
    QStackedLayout *m_resultStack = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_clear = nullptr;
};
