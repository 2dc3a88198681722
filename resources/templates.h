// The layouts of the program's two dialogs, with their controls' ids as data.
#pragma once

#include <array>

#include "app/dialog_template.h"

// The main window's control ids. Its labels "COM 1" to "COM 4" and its frames "Page" and "Port"
// have none; the About box has only IDOK.
inline constexpr int IDOK = 1;
inline constexpr int IDC_LINES = 1000;
inline constexpr int IDC_PORT4 = 1004;
inline constexpr int IDC_PORT1 = 1005;
inline constexpr int IDC_PORT2 = 1006;
inline constexpr int IDC_PORT3 = 1007;
inline constexpr int IDC_STATUS = 1008;
inline constexpr int IDC_PAGE = 1009;
// COM n's selector is kPortIds[n - 1].
inline constexpr std::array<int, 4> kPortIds{IDC_PORT1, IDC_PORT2, IDC_PORT3, IDC_PORT4};

// List, lines, selectors COM1 to COM4, labels "COM 1" to "COM 4", status, page, the "Page" and
// "Port" frames.
extern const DialogTemplate kMainTemplate;
// Name and version, OK, the icon, then the notice lines and paragraphs.
extern const DialogTemplate kAboutTemplate;
