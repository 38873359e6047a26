#include "ComboBoxStyle.h"

#include <QComboBox>

#include "widgets/KEffectListView.h"
#include "widgets/KLeftEffectDelegate.h"
#include "widgets/StyleSheets.h"

void styleComboBox(QComboBox *combo)
{
    combo->setView(new KEffectListView(combo, combo));
    combo->setItemDelegate(new KLeftEffectDelegate(combo));
    combo->setStyleSheet(comboStyleSheet(comboArrowImage()));
}
