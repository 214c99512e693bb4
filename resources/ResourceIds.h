// Resource ids shared by the resource script and the code. Plain defines, so that the resource
// compiler can read this file too.
#pragma once

// String table entry 1: the name Windows shows in the Display Properties list of screen savers.
#define IDS_SCREENSAVER_NAME 1

// The application icon (a lantern; tools/make-lantern-icon draws it).
#define IDI_LANTERNMOOR 1

// The caption box pattern, an 8 x 8 checkerboard (tools/make-caption-pattern draws it).
#define IDB_CAPTION_PATTERN 104

// Pictures are RCDATA resources; the caption of each is the string table entry with the same id.
#define IDR_FIRST_PICTURE 114

// The picture pack's credits, which the About box shows after the program's own lines: Windows-1252
// text, lines separated by CR LF, no terminating NUL, at most PACK_CREDITS_LIMIT characters, well
// within what the About box's multi-line field holds on every Windows (under 64 KB on Windows
// 95/98). Every RCDATA resource is a picture, so the credits are a resource of their own type,
// id 1, language 0x0409 (as the resource compiler writes it); a pack without credits has none.
#define RT_PACK_CREDITS 256
#define IDR_PACK_CREDITS 1
#define PACK_CREDITS_LIMIT 30000

// The configuration page (a property sheet page) and its controls.
#define IDD_SETUP_PAGE 106
#define IDC_ENLARGE_TO_FIT 1005
#define IDC_RANDOM_ORDER 1006
#define IDC_SHOW_TEXT 1007
#define IDC_ENABLE_KEYS 1009
#define IDC_PICTURE_SPEED 1003
#define IDC_ABOUT 1012
#define IDC_USE_EFFECTS 1001
#define IDC_EFFECT_LIST 1010
#define IDC_EFFECT_SPEED 1008

// The About box, its credits and its link.
#define IDD_ABOUT 101
#define IDC_CREDITS 1017
#define IDC_WEB_LINK 1018

// The page's pictures (tools/make-page-icons draws them): a cogwheel over a sheet beside the
// effects, a display monitor over a sheet beside the general options.
#define IDI_COGWHEEL 2000
#define IDI_MONITOR 2001
