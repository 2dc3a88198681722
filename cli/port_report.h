// What vexlarin-list says about the ports: the problems of the user's port file, and with
// --ports which device each COM port stands for, where that mapping comes from and whether the
// device opens, then the serial devices found on the machine.
#pragma once

// Each line of the port file that cannot be used, on standard error.
void PrintPortFileProblems();

// The --ports report on standard output (the port file's problems on standard error);
// returns the exit status, 0.
int ShowPorts();
