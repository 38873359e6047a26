#pragma once

#include "online/ui/KOnlineJobView.h"

class KImageAddImageShowComView;

// "Enhance Convert": one image through one of three AI operations of the
// online service, shown beside its source and saved under the source's
// name. Before a job the image is checked against the operation's limits
// and the user may have it reduced. Interface thread.
class KImageAIEnhanceView : public KOnlineJobView
{
    Q_OBJECT
public:
    enum Operation { ContrastEnhance = 0, Colouring = 1, StretchRecovery = 2 };

    explicit KImageAIEnhanceView(QWidget *parent = nullptr);

    QString proposedSavePath() const override;
    KImageAddImageShowComView *display() const { return m_display; }

    // The size the image of operation op must be reduced to before it is
    // sent, or an invalid size when it passes the operation's limit.
    static QSize requiredSize(int op, const QSize &imageSize, qint64 fileBytes);

public slots:
    void onSaveResult();

protected:
    int serviceTypeFor(int mode) const override;
    void prepareAndStart() override;
    void showSource() override;
    void showResult(const OcrResult &result) override;
    void resetDisplay() override;
    void setDisplayButtonsEnabled(bool enabled) override;
    QString saveExtension() const override;
    QString saveFilter() const override;
    OcrResult resultFromClient() const override;

private:
    KImageAddImageShowComView *m_display = nullptr;
};
