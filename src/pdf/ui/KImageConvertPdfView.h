#pragma once

#include <memory>

#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"

class KImagePdfConverter;
class KTableListView;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "PIC to PDF": the listed images become one PDF each or one combined PDF,
// optionally protected by a password, in a new "Pdf Convert" folder under the
// folder the user picks.
//
// Lives in the interface thread. Each start creates one KImagePdfConverter,
// owned by this view and replaced by the next start (once its run has ended);
// its records arrive through the queued stateChanged signal, and the run ends
// when every file of the run has its final record, succeeded or failed.
class KImageConvertPdfView : public QWidget
{
    Q_OBJECT
public:
    explicit KImageConvertPdfView(QWidget *parent = nullptr);
    ~KImageConvertPdfView() override;

    // Starts a run into a new "Pdf Convert" folder below parentDir, with the
    // current mode and password. An empty or relative parentDir gives no run
    // folder, and every file then fails. False when nothing was started (no
    // files, or a run still going).
    bool startInto(const QString &parentDir);

    // Shows path in the folder box (what the folder dialog does with the
    // user's answer); the tooltip carries it when the box is too narrow.
    void setOutputFolder(const QString &path);
    QString outputFolder() const;

    bool isCombined() const { return m_combined; }
    bool isRunning() const;
    QString lastRunFolder() const { return m_runFolder; }
    QStringList runFiles() const { return m_runFiles; } // files() when the last run started

    KTableListView *fileList() const { return m_list; }
    QButtonGroup *modeGroup() const { return m_modes; }
    QCheckBox *encryptBox() const { return m_encrypt; }
    QLineEdit *passwordBox() const { return m_password; }
    QLabel *passwordLabel() const { return m_passwordLabel; }
    QLineEdit *folderBox() const { return m_folder; }
    QPushButton *folderButton() const { return m_folderButton; }
    QPushButton *startButton() const { return m_start; }

signals:
    // The last file of a run has reported.
    void runFinished();

public slots:
    void onModeChanged(int id);
    void onOpenFolder();
    void onEncryptStateChanged(int state);
    void onAddFiles(const QStringList &paths);
    void onClearFile();
    void onStartConvert();
    void onStateChanged(BatchResult result);
    void onRunFinished();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setControlsEnabled(bool enabled);
    void setPasswordEnabled(bool enabled);

    KTableListView *m_list = nullptr;
    QButtonGroup *m_modes = nullptr;
    QLabel *m_passwordLabel = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_encrypt = nullptr;
    QLineEdit *m_folder = nullptr;
    QPushButton *m_folderButton = nullptr;
    QPushButton *m_start = nullptr;

    QString m_startFolder; // where the folder dialog opens: the desktop
    bool m_combined = false;
    QStringList m_runFiles; // files() when the run started, in row order
    QString m_runFolder;
    std::unique_ptr<KImagePdfConverter> m_converter;
};
