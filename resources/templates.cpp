#include "resources/templates.h"

#include "resources/icons.h"
#include "resources/resource.h"

using namespace platform;

namespace {

const DialogTemplate kMain{
    IDD_MAIN,
    "Vexlarin",
    0,
    0,
    290,
    178,
    "MS Sans Serif",
    8,
    {
        {ControlClass::Button, IDOK, "List", BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 155, 50, 14},
        {ControlClass::ListBox, IDC_LINES, "", WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP, 10,
         5, 200, 141},
        {ControlClass::Button, IDC_PORT1, "Com1", BS_AUTO3STATE | WS_TABSTOP, 225, 20, 10, 10},
        {ControlClass::Button, IDC_PORT2, "Com2", BS_AUTO3STATE | WS_TABSTOP, 225, 36, 8, 10},
        {ControlClass::Button, IDC_PORT3, "Com3", BS_AUTO3STATE | WS_TABSTOP, 225, 49, 10, 10},
        {ControlClass::Button, IDC_PORT4, "Com4", BS_AUTO3STATE | WS_TABSTOP, 225, 65, 10, 10},
        {ControlClass::Static, kNoId, "COM 1", SS_LEFT | WS_GROUP, 243, 20, 27, 10},
        {ControlClass::Static, kNoId, "COM 2", SS_LEFT | WS_GROUP, 243, 36, 27, 10},
        {ControlClass::Static, kNoId, "COM 3", SS_LEFT | WS_GROUP, 243, 49, 27, 10},
        {ControlClass::Static, kNoId, "COM 4", SS_LEFT | WS_GROUP, 243, 65, 27, 10},
        {ControlClass::Edit, IDC_STATUS, "", WS_BORDER | ES_READONLY | ES_LEFT | WS_TABSTOP, 75,
         155, 135, 12},
        {ControlClass::Edit, IDC_PAGE, "", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 225, 125, 19,
         12},
        {ControlClass::Button, kNoId, "Page", BS_GROUPBOX, 220, 105, 35, 40},
        {ControlClass::Button, kNoId, "Port", BS_GROUPBOX, 220, 5, 60, 80},
    },
    &LoadIconResource,
};

// The notice: the program's licence, in short lines and paragraphs.
const DialogTemplate kAbout{
    IDD_ABOUT,
    "About Vexlarin",
    0,
    0,
    285,
    185,
    "MS Sans Serif",
    8,
    {
        {ControlClass::Static, kNoId, "Vexlarin Version 1.1", SS_LEFT | SS_NOPREFIX | WS_GROUP, 40,
         10, 119, 8},
        {ControlClass::Button, IDOK, "OK", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 246, 7, 32,
         14},
        {ControlClass::Static, kNoId, "128", SS_ICON, 11, 17, 20, 20},
        {ControlClass::Static, kNoId, "Copyright (c) 2026", SS_LEFT | WS_GROUP, 40, 20, 100, 8},
        {ControlClass::Static, kNoId,
         "Vexlarin is free software under the MIT licence. You may use, copy, change, merge, "
         "publish and pass it on, and sell copies of it.",
         SS_LEFT | WS_GROUP, 15, 50, 250, 20},
        {ControlClass::Static, kNoId,
         "Whoever receives a copy may do the same, on one condition: the copyright line above "
         "and this permission notice stay with every copy or substantial portion of the "
         "program.",
         SS_LEFT | WS_GROUP, 15, 70, 250, 25},
        {ControlClass::Static, kNoId,
         "In no case are the authors or copyright holders liable for any claim, damages or other "
         "liability arising from the program or from its use or other dealings in it.",
         SS_LEFT | WS_GROUP, 15, 120, 250, 25},
        {ControlClass::Static, kNoId, "The Vexlarin developers", SS_LEFT | WS_GROUP, 40, 35, 100,
         8},
        {ControlClass::Static, kNoId,
         "The program comes as it is, without any warranty, express or implied, including the "
         "warranties of merchantability, fitness for a particular purpose and non-infringement.",
         SS_LEFT | WS_GROUP, 15, 95, 250, 25},
        {ControlClass::Static, kNoId,
         "The full licence text is in the file LICENSE that comes with the program.",
         SS_LEFT | WS_GROUP, 15, 144, 250, 19},
    },
    &LoadIconResource,
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    switch (id) {
        case IDD_MAIN:
            return &kMain;
        case IDD_ABOUT:
            return &kAbout;
        default:
            return nullptr;
    }
}
