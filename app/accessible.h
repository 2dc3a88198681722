// What screen readers are told of the window's controls where Qt's own accessible interfaces
// say it wrongly: a three-state selector in one state at a time (Qt reports its third state as
// checked and mixed at once), a combo box by the name the program gave it (on Linux Qt names
// it by its current text), a line made read-only before it is named as read-only only (Qt adds
// editable).
#pragma once

// Installs them for every control created from then on; once is enough, more do no harm.
void InstallAccessibleInterfaces();
