#pragma once

class QComboBox;

// Gives a combo box the program's look: the shared drop-down list view, the
// left-aligned item delegate and the combo style with the arrow image.
void styleComboBox(QComboBox *combo);
