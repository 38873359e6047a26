#pragma once

#include <QLabel>

class OcrTextBrowser;

// The "ocr result" side of a text comparison: caption and the recognised
// text in a scrolling browser on a light grey panel.
class KImageOcrResultLabel : public QLabel
{
    Q_OBJECT
public:
    explicit KImageOcrResultLabel(QWidget *parent = nullptr);

    void setResultText(const QString &text);
    QString plainText() const;
    OcrTextBrowser *browser() const { return m_browser; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    OcrTextBrowser *m_browser = nullptr;
};
