#pragma once

#include <QApplication>
#include <QIcon>
#include <QPixmap>

class ImageFormats;
class KMainwindow;
class PSettings;
class QTranslator;

// The process-wide application object: registers the resource bundle, installs
// the translation, owns the settings and creates the one main window. Lives on
// the interface thread for the whole run.
class KApplication : public QApplication
{
    Q_OBJECT
public:
    KApplication(int &argc, char **argv);
    ~KApplication() override;

    virtual void init();
    virtual void createMainWindow(const QString &unused);

    KMainwindow *mainWindow() const { return m_mainWindow; }
    PSettings *settings() const { return m_settings; }
    const ImageFormats *imageFormats() const { return m_imageFormats; }

    // The running KApplication, or null (tests run a plain QApplication).
    static KApplication *instance();
    // The main window as a widget when a KApplication runs, otherwise null.
    static QWidget *mainWidget();

    // ":/Resources/" + name; a bare name finds the image by its suffix.
    static QIcon resourceIcon(const QString &name);
    static QPixmap resourcePixmap(const QString &name);

    // "Microsoft YaHei" is what the interface asks for; map it to installed
    // families that have Latin and CJK glyphs.
    static void installFontSubstitutions();

private:
    KMainwindow *m_mainWindow = nullptr;
    QTranslator *m_translator = nullptr;
    PSettings *m_settings = nullptr;
    const ImageFormats *m_imageFormats = nullptr;
};
