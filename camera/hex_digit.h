// The one reading of a hexadecimal digit in the program: commands, line texts and page digits.
#pragma once

// '0' to '9' and 'A' to 'F' give 0 to 15; anything else, lowercase letters included, -1.
int HexDigitValue(char c);
