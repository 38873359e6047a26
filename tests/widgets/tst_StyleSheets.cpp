#include <QtTest>

#include "widgets/StyleSheets.h"

class tst_StyleSheets : public QObject
{
    Q_OBJECT
private slots:
    void imageButtons_data();
    void imageButtons();
    void placeholdersAreFilledInOrder_data();
    void placeholdersAreFilledInOrder();
    void fixedBuildersReturnTheSameText();
};

void tst_StyleSheets::imageButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty name")
        << QString()
        << "QPushButton{border-radius:1px;border:0px; background:transparent;}"
           "QPushButton:hover{ border:0; color:rgb(128,167,232); "
           "background:transparent;}QPushButton::menu-indicator{ image:None; }";
    QTest::newRow("close")
        << "close"
        << "QPushButton{border-radius:1px;border:0px; background:transparent; "
           "border-image: url(:/Resources/close.png);}QPushButton:hover{ border:0; "
           "color:rgb(71,186,204); background:transparent; border-image: "
           "url(:/Resources/close-hover.png);}QPushButton::menu-indicator{ image:None; }";
}

void tst_StyleSheets::imageButtons()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(buttonStyleSheet(name), expected);
}

void tst_StyleSheets::placeholdersAreFilledInOrder_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("expected");
    // Thirteen placeholders: "%10".."%13" must get the 10th..13th numbers, not "%1" + digit.
    QTest::newRow("slider")
        << sliderStyleSheet()
        << "QSlider::groove:horizontal{background-color:#FFFFFF; border-radius:2px; "
           "height:20px;} QSlider::add-page:horizontal{border-radius:2px; "
           "background-color:#CECECE; height:4px;margin-top:8px; margin-bottom:8px;}"
           "QSlider::add-page:horizontal:disabled { background-color: #c3c3c3; }"
           "QSlider::sub-page:horizontal{border-radius:2px; background-color:#439EFF; "
           "height:4px;margin-top:8px; margin-bottom:8px;}"
           "QSlider::sub-page:horizontal:disabled {  background-color: #c3c3c3;}"
           "QSlider::handle:horizontal{background-color:#439EFF; width:6px; "
           "height:20px; border-radius:3px;}"
           "QSlider::handle:horizontal:disabled { background-color: #c3c3c3; }";
    QTest::newRow("combo")
        << comboStyleSheet(":Resources/picTransDrop.png")
        << "QComboBox{border:1px solid #CCCCCC; padding-left: 11px; border-radius:4px;}"
           "QComboBox::hover {border-radius:4px; border:1px solid #439EFF;}"
           "QComboBox::drop-down{ subcontrol-origin: padding; top: 10px; right: 3px; "
           "subcontrol-position: top right; image: url(:Resources/picTransDrop.png);}";
    QTest::newRow("line edit")
        << lineEditStyleSheet()
        << "QLineEdit{border:1px solid #CCCCCC;selection-background-color: "
           "#439EFF;color: #333333; border-radius:4px; }QLineEdit::hover"
           "{border-color:#439EFF;}QLineEdit::disabled {border-color: #D3D3D3; "
           "color: #999999;}";
    QTest::newRow("scroll bar")
        << scrollBarStyleSheet()
        << "QScrollBar:vertical{width:6px;background:color(#e4e4e4);}"
           "QScrollBar::handle:vertical{width:6px;background:rgba(0,0,0,25%);"
           "border-radius:3px;min-height:20;}QScrollBar::add-line:vertical"
           "{height:0;width:0;subcontrol-position:bottom;}QScrollBar::sub-line:"
           "vertical{height:0;width:0;subcontrol-position:top;}QScrollBar::"
           "add-page:vertical,QScrollBar::sub-page:vertical{background:"
           "rgba(0,0,0,5%);border-radius:4px;}";
}

void tst_StyleSheets::placeholdersAreFilledInOrder()
{
    QFETCH(QString, sheet);
    QFETCH(QString, expected);
    QCOMPARE(sheet, expected);
    QVERIFY(!sheet.contains(QRegularExpression("%\\d")));
}

void tst_StyleSheets::fixedBuildersReturnTheSameText()
{
    QCOMPARE(flatPanelStyleSheet(),
        QString("background-color:#F5F5F5;border-width:0;border-style:outset"));
    QCOMPARE(browserStyleSheet(), QString("background-color:#F5F5F5;border-width:1;"));
    QVERIFY(
        blueButtonStyleSheet().startsWith("QPushButton{background-color:rgba(128,167,232,100%);"));
    QVERIFY(whiteButtonStyleSheet().contains("border: 1px solid #CCCCCC;"));
    QVERIFY(
        smallButtonStyleSheet().startsWith("QPushButton{background-color:rgba(224,224,224,100%);"));
    QVERIFY(radioStyleSheet().contains("url(:/Resources/btnRadio-selected.png)"));
    QCOMPARE(radioStyleSheet(), radioStyleSheet());
}

QTEST_GUILESS_MAIN(tst_StyleSheets)
#include "tst_StyleSheets.moc"
