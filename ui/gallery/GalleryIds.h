#pragma once

// Dialog templates of the toolkit gallery, apart from the launcher's own ids.
#define IDD_GALLERY 900       // the gallery's main window
#define IDD_GALLERY_PANEL 901 // a child panel that shows one background layout
