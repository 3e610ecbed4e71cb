#ifndef TAVO_UI_KEYSLOTS_H
#define TAVO_UI_KEYSLOTS_H

#include "TAVO_mgr_defaultStructure.h"

#include <QString>

// One button place of the controller panel and what it does. Keyless corner places have no
// caption, key or images.
struct TAVO_ui_keySlot
{
    int page;
    int row;
    int column;
    const char *caption;
    const char *keyName;
    bool TAVO_KEY::*flag;
    const char *startImage;  // stem of the normal image shown until the first press
    const char *image;       // stem of the images shown on press and release
    bool autoRepeat;
    const char *keyboard;    // keys of the computer's keyboard that press it, "; " between them

    constexpr bool hasKey() const { return keyName != nullptr; }

    // "btn_<page>_<row>_<column>": the button's object name in the panel's form.
    QString objectName() const
    {
        return QStringLiteral("btn_%1_%2_%3").arg(page).arg(row).arg(column);
    }
};

// Every slot of the panel, page 1 row by row, then page 2. Naming a key that is no flag of
// TAVO_KEY does not compile.
inline constexpr TAVO_ui_keySlot tavoKeySlots[] = {
#define TAVO_KEY_SLOT(page, row, column, caption, key, image, autoRepeat, keyboard) \
    {page, row, column, caption, #key, &TAVO_KEY::key, image, image, autoRepeat, keyboard},
#define TAVO_KEY_SLOT_OWN_START(page, row, column, caption, key, startImage, image, autoRepeat, keyboard) \
    {page, row, column, caption, #key, &TAVO_KEY::key, startImage, image, autoRepeat, keyboard},
#define TAVO_NO_KEY_SLOT(page, row, column) \
    {page, row, column, nullptr, nullptr, nullptr, nullptr, nullptr, false, ""},
#include "TAVO_ui_keySlots.def"
#undef TAVO_KEY_SLOT
#undef TAVO_KEY_SLOT_OWN_START
#undef TAVO_NO_KEY_SLOT
};

inline constexpr int tavoKeySlotCount = sizeof(tavoKeySlots) / sizeof(tavoKeySlots[0]);

// The panel's geometry: two pages of 11 rows by 4 columns of 71 x 51 buttons.
namespace TAVO_ui_keyGrid {
inline constexpr int pages = 2;
inline constexpr int rows = 11;
inline constexpr int columns = 4;
inline constexpr int buttonWidth = 71;
inline constexpr int buttonHeight = 51;
inline constexpr int left = 10;
inline constexpr int top = 10;
inline constexpr int columnStep = 80;
inline constexpr int rowStep = 60;
} // namespace TAVO_ui_keyGrid

#endif
