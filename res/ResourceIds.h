#pragma once

// Resource ids of the launcher's executable: dialog templates, bitmaps and the
// icon. Numbers are fixed because stored skins and message files refer to them.
// Plain macros, so the resource compiler and C++ share this one list.

// Dialog templates
#define IDD_UPDATE_DIALOG 102 // the launcher window
#define IDD_OPTION_DIALOG 103 // the options dialog

// Icon
#define IDI_LAUNCHER 128

// Launcher command buttons: one image for every state, caption in the picture
#define IDB_OPTION 104
#define IDB_CONNECT 105
#define IDB_CLOSE_BIG 106

// Options dialog
#define IDB_OPTION_BACKGROUND 110 // 385 x 486, also the dialog's size
#define IDB_SAVE_PRESSED 111
#define IDB_SAVE_NORMAL 112
#define IDB_CANCEL_NORMAL 137
#define IDB_CANCEL_PRESSED 138

// Launcher skins, 580 x 380; pure green RGB(0, 255, 0) is see-through
#define IDB_SKIN_PARTITIONS 140
#define IDB_SKIN_PROGRESS 163

// Close buttons of the launcher and the options dialog, 16 x 15
#define IDB_CLOSE_NORMAL 144
#define IDB_CLOSE_PRESSED 145
#define IDB_CLOSE_SPARE_NORMAL 146 // carried, not used
#define IDB_CLOSE_SPARE_PRESSED 147

// Partition buttons, 164 x 26
#define IDB_PARTITION_PRESSED 148
#define IDB_PARTITION_NORMAL 149

// Link buttons of the partition view, 60 x 24: even id normal, odd id pressed
#define IDB_LINK1_NORMAL 152
#define IDB_LINK1_PRESSED 153
#define IDB_LINK2_NORMAL 154
#define IDB_LINK2_PRESSED 155
#define IDB_LINK4_NORMAL 156
#define IDB_LINK4_PRESSED 157
#define IDB_LINK3_NORMAL 158
#define IDB_LINK3_PRESSED 159
#define IDB_CLOSE_LINK_NORMAL 160
#define IDB_CLOSE_LINK_PRESSED 161

// Progress bars, 339 x 23
#define IDB_PROGRESS_BAR 162

// Controls of the dialog templates
#define IDC_BROWSER 1004
#define IDC_WINDOW_MODE 1005
#define IDC_ACCOUNT_ID 1006
#define IDC_SOUND 1007
#define IDC_SAVE 1008
#define IDC_MUSIC 1010
#define IDC_DEPTH16 1023
#define IDC_DEPTH32 1024
#define IDC_RES800 1044
#define IDC_RES1024 1045
#define IDC_RES1280 1046
#define IDC_RES1920 1047
#define IDC_OPTION_SPARE1 2008
#define IDC_OPTION_SPARE2 2009
