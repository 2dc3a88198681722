// vexlarin-list --ports: which device each COM port stands for, where that mapping comes from
// and whether the device opens, then the serial devices found on the machine.
#pragma once

// Prints the report on standard output (problems of the port file on standard error);
// returns the exit status, 0.
int ShowPorts();
