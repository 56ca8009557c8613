#pragma once

// Resource ids of the toolkit's Windows tests: bitmaps made by
// make_test_bitmaps.py at build time and two dialog templates. Plain macros, so the
// resource compiler and C++ share them.

// Button pictures, 60 x 24, one solid colour each
#define IDB_TEST_NORMAL 201   // RGB(200, 0, 0)
#define IDB_TEST_PRESSED 202  // RGB(0, 160, 0)
#define IDB_TEST_FOCUSED 203  // RGB(0, 0, 200)
#define IDB_TEST_DISABLED 204 // RGB(128, 128, 128)

// Position-coded pictures: the pixel at (x, y) has the colour SkinColour(x, y)
#define IDB_TEST_SKIN 210  // 580 x 380
#define IDB_TEST_SMALL 211 // 100 x 50
#define IDB_TEST_BAR 220   // 339 x 23

// Check box pictures, 13 x 13
#define IDB_TEST_UNCHECKED 230 // RGB(10, 20, 30)
#define IDB_TEST_CHECKED 231   // RGB(200, 100, 50)

// Pictures for the device-independent bitmap
#define IDB_TEST_PALETTED 240 // 16 x 8 at 8 bits: pixel (x, y) has palette index 16 y + x
#define IDB_TEST_SOLID 241    // 38 x 48 at 24 bits, RGB(40, 90, 140)

#define IDB_TEST_MISSING 999 // no such bitmap

// A dialog with an edit box, a check box and an owner-drawn button
#define IDD_TEST_CONTROLS 300
#define IDC_TEST_EDIT 301
#define IDC_TEST_CHECK 302
#define IDC_TEST_BUTTON 303
// A borderless popup without controls, for the skinned dialog
#define IDD_TEST_SKIN 310
