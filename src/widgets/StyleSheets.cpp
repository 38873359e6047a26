#include "StyleSheets.h"

QString buttonStyleSheet(const QString &imageName)
{
    if (imageName.isEmpty()) {
        return QStringLiteral(
            "QPushButton{border-radius:1px;border:0px; background:transparent;}"
            "QPushButton:hover{ border:0; color:rgb(128,167,232); background:transparent;}"
            "QPushButton::menu-indicator{ image:None; }");
    }
    return QStringLiteral("QPushButton{border-radius:1px;border:0px; background:transparent; "
                          "border-image: url(:/Resources/")
        + imageName
        + QStringLiteral(".png);}QPushButton:hover{ border:0; color:rgb(71,186,204); "
                         "background:transparent; border-image: url(:/Resources/")
        + imageName + QStringLiteral("-hover.png);}QPushButton::menu-indicator{ image:None; }");
}

QString radioStyleSheet()
{
    static const QString sheet = QStringLiteral(
        "QRadioButton::indicator{ width: 14px;height: 14px;}"
        "QRadioButton::indicator::unchecked{ image: url(:/Resources/btnRadio.png);}"
        "QRadioButton::indicator::unchecked:pressed{ image: "
        "url(:/Resources/btnRadio-selected.png);}"
        "QRadioButton::indicator:checked{ image: url(:/Resources/btnRadio-selected.png);}"
        "QRadioButton::indicator:checked:pressed{ image: url(:/Resources/btnRadio-selected.png);}");
    return sheet;
}

QString comboStyleSheet(const QString &arrowImage)
{
    static const QString sheet = QStringLiteral(
        "QComboBox{border:%1px solid #CCCCCC; padding-left: %2px; border-radius:%3px;}"
        "QComboBox::hover {border-radius:%4px; border:%5px solid #439EFF;}"
        "QComboBox::drop-down{ subcontrol-origin: padding; top: %6px; right: %7px; "
        "subcontrol-position: top right; image: url(")
                                     .arg(1)
                                     .arg(11)
                                     .arg(4)
                                     .arg(4)
                                     .arg(1)
                                     .arg(10)
                                     .arg(3);
    return sheet + arrowImage + QStringLiteral(");}");
}

QString sliderStyleSheet()
{
    static const QString sheet = QStringLiteral(
        "QSlider::groove:horizontal{background-color:#FFFFFF; border-radius:%1px; height:%2px;} "
        "QSlider::add-page:horizontal{border-radius:%3px; background-color:#CECECE; height:%4px;"
        "margin-top:%5px; margin-bottom:%6px;}"
        "QSlider::add-page:horizontal:disabled { background-color: #c3c3c3; }"
        "QSlider::sub-page:horizontal{border-radius:%7px; background-color:#439EFF; height:%8px;"
        "margin-top:%9px; margin-bottom:%10px;}"
        "QSlider::sub-page:horizontal:disabled {  background-color: #c3c3c3;}"
        "QSlider::handle:horizontal{background-color:#439EFF; width:%11px; height:%12px; "
        "border-radius:%13px;}"
        "QSlider::handle:horizontal:disabled { background-color: #c3c3c3; }")
                                     .arg(2)
                                     .arg(20)
                                     .arg(2)
                                     .arg(4)
                                     .arg(8)
                                     .arg(8)
                                     .arg(2)
                                     .arg(4)
                                     .arg(8)
                                     .arg(8)
                                     .arg(6)
                                     .arg(20)
                                     .arg(3);
    return sheet;
}

QString lineEditStyleSheet()
{
    static const QString sheet = QStringLiteral(
        "QLineEdit{border:%1px solid #CCCCCC;selection-background-color: #439EFF;"
        "color: #333333; border-radius:%2px; }QLineEdit::hover{border-color:#439EFF;}"
        "QLineEdit::disabled {border-color: #D3D3D3; color: #999999;}")
                                     .arg(1)
                                     .arg(4);
    return sheet;
}

QString blueButtonStyleSheet()
{
    static const QString sheet = QStringLiteral(
        "QPushButton{background-color:rgba(128,167,232,100%); color: white; border-radius: 4px;  "
        "border: 0px;}QPushButton:hover{background-color:rgba(158,197,252,100%);}"
        "QPushButton:pressed{background-color:rgb(98, 131, 232);}"
        "QPushButton:disabled{ background-color:#c3c3c3; color:#F5F5F5;}");
    return sheet;
}

QString whiteButtonStyleSheet()
{
    static const QString sheet = QStringLiteral(
        "QPushButton{background-color:rgba(255,255,255,100%); color: rgba(188,188,188,100%); "
        "border-radius: 4px; border: 1px solid #CCCCCC;}QPushButton:hover{border-color:#A0A0A0;}");
    return sheet;
}

QString smallButtonStyleSheet()
{
    static const QString sheet = QStringLiteral(
        "QPushButton{background-color:rgba(224,224,224,100%); color: rgba(102,128,188,100%); "
        "border-radius: 4px;  border: "
        "0px;}QPushButton:hover{background-color:rgba(158,197,252,100%);}"
        "QPushButton:pressed{background-color:rgb(98, 131, 232);}"
        "QPushButton:disabled{ background-color:#c3c3c3; color:#F5F5F5;}");
    return sheet;
}

QString scrollBarStyleSheet()
{
    static const QString sheet = QStringLiteral(
        "QScrollBar:vertical{width:%1px;background:color(#e4e4e4);}"
        "QScrollBar::handle:vertical{width:%2px;background:rgba(0,0,0,25%);border-radius:%3px;"
        "min-height:20;}"
        "QScrollBar::add-line:vertical{height:0;width:0;subcontrol-position:bottom;}"
        "QScrollBar::sub-line:vertical{height:0;width:0;subcontrol-position:top;}"
        "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:rgba(0,0,0,5%);"
        "border-radius:%4px;}")
                                     .arg(6)
                                     .arg(6)
                                     .arg(3)
                                     .arg(4);
    return sheet;
}

QString flatPanelStyleSheet()
{
    static const QString sheet
        = QStringLiteral("background-color:#F5F5F5;border-width:0;border-style:outset");
    return sheet;
}

QString browserStyleSheet()
{
    static const QString sheet = QStringLiteral("background-color:#F5F5F5;border-width:1;");
    return sheet;
}
