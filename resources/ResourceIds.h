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
