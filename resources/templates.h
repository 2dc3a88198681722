// The program's dialog templates.
#pragma once

#include "platform/dialog/dialog_template.h"

// The template with resource id `id`, null when there is none.
const platform::DialogTemplate* FindDialogTemplate(int id);
