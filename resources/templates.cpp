#include "resources/templates.h"

namespace {

const ControlTemplate kMainControls[] = {
    {IDOK, "List", 10, 155, 50, 14},
    {IDC_LINES, "", 10, 5, 200, 141},
    // Bare boxes: their own texts are clipped, the labels to their right name them.
    {IDC_PORT1, "Com1", 225, 20, 10, 10},
    {IDC_PORT2, "Com2", 225, 36, 8, 10},
    {IDC_PORT3, "Com3", 225, 49, 10, 10},
    {IDC_PORT4, "Com4", 225, 65, 10, 10},
    {kNoId, "COM 1", 243, 20, 27, 10},
    {kNoId, "COM 2", 243, 36, 27, 10},
    {kNoId, "COM 3", 243, 49, 27, 10},
    {kNoId, "COM 4", 243, 65, 27, 10},
    {IDC_STATUS, "", 75, 155, 135, 12},
    {IDC_PAGE, "", 225, 125, 19, 12},
    {kNoId, "Page", 220, 105, 35, 40},
    {kNoId, "Port", 220, 5, 60, 80},
};

// The notice: the program's licence, in short lines and paragraphs of at most two lines, so
// that a paragraph ends well above the next one.
const ControlTemplate kAboutControls[] = {
    {kNoId, "Vexlarin Version 1.1", 40, 10, 119, 8},
    {IDOK, "OK", 246, 7, 32, 14},
    {kNoId, "", 11, 17, 20, 20},  // the program's icon, at its own size
    {kNoId, "Copyright (c) 2026", 40, 20, 100, 8},
    {kNoId,
     "Vexlarin is free software under the MIT licence. You may use, copy, change, merge, "
     "publish and pass it on, and sell copies of it.",
     15, 50, 250, 20},
    {kNoId,
     "Whoever receives a copy may do the same, provided the copyright line and this notice "
     "stay with every copy or substantial portion.",
     15, 70, 250, 25},
    {kNoId,
     "In no case are the authors or copyright holders liable for any claim, damages or other "
     "liability arising from the program or from its use or other dealings in it.",
     15, 120, 250, 25},
    {kNoId, "The Vexlarin developers", 40, 35, 100, 8},
    {kNoId,
     "The program comes as it is, without any warranty, express or implied, of "
     "merchantability, fitness for a purpose or non-infringement.",
     15, 95, 250, 25},
    {kNoId, "The full licence text is in the file LICENSE that comes with the program.", 15, 144,
     250, 19},
};

}  // namespace

const DialogTemplate kMainTemplate{"Vexlarin", 290, 178, "MS Sans Serif", 8, kMainControls};
const DialogTemplate kAboutTemplate{"About Vexlarin", 285, 185, "MS Sans Serif", 8, kAboutControls};
