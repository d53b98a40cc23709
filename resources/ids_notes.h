#pragma once
// Ids of the screen notes on the desktop: floater menus, note dialogs, the
// note cursor and their strings.

#define IDM_FLOATER                   320
#define IDM_NOTE_EDIT                 327
#define IDC_NOTE_CURSOR               326

// Opacity dialog.
#define IDD_NOTE_OPACITY              328
#define IDC_OPACITY_EDIT              (IDD_NOTE_OPACITY * 10 + 1)
#define IDC_OPACITY_SPIN              (IDD_NOTE_OPACITY * 10 + 2)

// Text-note dialog.
#define IDD_TEXT_NOTE                 319
#define IDC_TEXT_NOTE_TEXT            (IDD_TEXT_NOTE * 10 + 1)
#define IDC_TEXT_NOTE_WIDTH           (IDD_TEXT_NOTE * 10 + 2)
#define IDC_TEXT_NOTE_HEIGHT          (IDD_TEXT_NOTE * 10 + 3)
#define IDC_TEXT_NOTE_PREVIEW         (IDD_TEXT_NOTE * 10 + 4)
#define IDC_TEXT_NOTE_FONT            (IDD_TEXT_NOTE * 10 + 5)   // font and text colour
#define IDC_TEXT_NOTE_BACKGROUND      (IDD_TEXT_NOTE * 10 + 6)
#define IDC_TEXT_NOTE_FRAME           (IDD_TEXT_NOTE * 10 + 7)   // frame kind
#define IDC_TEXT_NOTE_FRAME_COLOUR    (IDD_TEXT_NOTE * 10 + 8)
#define IDC_TEXT_NOTE_FRAME_WIDTH     (IDD_TEXT_NOTE * 10 + 9)
#define IDC_TEXT_NOTE_ALIGN           (IDD_TEXT_NOTE * 100 + 10)  // left, centred, right
#define IDC_TEXT_NOTE_VALIGN          (IDD_TEXT_NOTE * 100 + 11)  // top, middle, bottom
#define IDC_TEXT_NOTE_WRAP            (IDD_TEXT_NOTE * 100 + 12)
#define IDS_TEXT_NOTE_BAD_FRAME       61296   // "边框宽度必须是 0 到 20 之间的整数。"

// Shape resize dialog.
#define IDD_ANNOTATION_RESIZE         270
#define IDC_RESIZE_LOCK               7509
#define IDC_RESIZE_WIDTH              7510
#define IDC_RESIZE_HEIGHT             7511
#define IDC_RESIZE_WIDTH_SPIN         1423
#define IDC_RESIZE_HEIGHT_SPIN        1424
#define IDC_RESIZE_DEFAULT            1431

#define IDS_NOTE_NO_LAYERED           61298   // "这个功能只能用于 Windows 2000/XP 或更高。"
#define IDS_RESIZE_BAD_WIDTH          61259
#define IDS_RESIZE_BAD_HEIGHT         61260
#define IDS_TEXT_NOTE_BAD_SIZE        61297   // "便条的宽度和高度必须是 20 到 2000 之间的整数。"

// Screen-note hot-key dialog (the layout keys).
#define IDD_NOTE_HOTKEYS              282
#define IDC_NOTE_HOTKEY_NEXT          (IDD_NOTE_HOTKEYS * 10 + 1)
#define IDC_NOTE_HOTKEY_PREV          (IDD_NOTE_HOTKEYS * 10 + 2)
#define IDC_NOTE_HOTKEY_TOGGLE        (IDD_NOTE_HOTKEYS * 10 + 3)
