#include "serial/serial_link.h"
