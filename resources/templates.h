// The layouts of the program's two dialogs, with their controls' ids as data.
#pragma once

#include "app/dialog_template.h"

// List, lines, selectors COM1 to COM4, labels "COM 1" to "COM 4", status, page, the "Page" and
// "Port" frames.
extern const DialogTemplate kMainTemplate;
// Name and version, OK, the icon, then the notice lines and paragraphs.
extern const DialogTemplate kAboutTemplate;
