#pragma once

#include <QString>

// Style-sheet builders that give every view the same flat look. All but
// buttonStyleSheet build their text once per run and hand out copies.

QString buttonStyleSheet(const QString &imageName);
QString radioStyleSheet();
QString comboStyleSheet(const QString &arrowImage);
QString sliderStyleSheet();
QString lineEditStyleSheet();
QString blueButtonStyleSheet();
QString whiteButtonStyleSheet();
QString smallButtonStyleSheet();
QString scrollBarStyleSheet();
QString flatPanelStyleSheet();
QString browserStyleSheet();

// The one font family every view asks for. The application maps it to an
// installed family with Latin and CJK glyphs (KApplication::installFontSubstitutions).
inline QString uiFontFamily() { return QStringLiteral("Microsoft YaHei"); }

// The arrow image every combo box uses with comboStyleSheet.
inline QString comboArrowImage() { return QStringLiteral(":Resources/picTransDrop.png"); }
