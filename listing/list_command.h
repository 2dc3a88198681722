// The List command, shared by the window and the headless lister: checks the page field,
// pings the camera, reads the 16 lines of a page into the view and appends them, under a
// dated header, to the listing file.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "listing/list_view.h"
#include "serial/serial_link.h"

enum class ListResult {
    Complete,        // every line read and the whole block written to the file
    PageRefused,     // the page field held no hexadecimal digit; nothing was sent or written
    NoAnswer,        // the camera did not answer the ping; nothing was written
    LinesFailed,     // the block was written, but one or more lines read "XXXX"
    FileNotWritten,  // the page was read and listed, but the listing file could not be written
                     // (reported even when lines failed too: the file is what a script reads)
    Cancelled,       // the window closed during the listing; what was written stays
};

// Runs one List command on `link`, whose port is `currentPort` (0 for none), on the page the
// view's page field gives.
ListResult ListPage(CSerialLink& link, int currentPort, IListView& view,
                    const std::string& fileName = "Vexlarin.txt");

// The same for page `page` ('0' to '9', 'A' to 'F') as the field would give it; the lines
// read, as listed, in `lines` when given.
ListResult ListPageDigit(CSerialLink& link, int currentPort, char page, IListView& view,
                         const std::string& fileName, std::vector<std::string>* lines = nullptr);

// The page digit a user typed: '0' to '9' and 'A' to 'F', lowercase a to f taken as A to F;
// '\0' for anything else.
char PageDigit(char typed);

// "%A, %B %d, %Y" of the local date of `when`, with English names whatever the locale;
// empty when the time has no local date.
std::string DateText(std::time_t when);
