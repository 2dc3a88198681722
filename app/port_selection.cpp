// Port probing at start and the four port selectors.
#include "app/vexlarin_dlg.h"

// Placeholders: the port-selection change fills these in.
void CVexlarinDlg::ProbePorts() {}
void CVexlarinDlg::OnPort1() {}
void CVexlarinDlg::OnPort2() {}
void CVexlarinDlg::OnPort3() {}
void CVexlarinDlg::OnPort4() {}
