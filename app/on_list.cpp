// The "List" button and Enter.
#include "app/vexlarin_dlg.h"

// Placeholder: the List command's change fills this in.
void CVexlarinDlg::OnList() {}
