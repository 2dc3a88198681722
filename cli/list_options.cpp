#include "cli/list_options.h"

#include <getopt.h>

#include "listing/list_command.h"

const char kListUsage[] =
    "Usage: vexlarin-list [--port N | --device PATH] [--page P | --page all] [--file PATH]\n"
    "                     [--image PATH]\n"
    "       vexlarin-list --ports\n"
    "Reads one page of the DV camera's memory (16 lines of 16 bytes), or all sixteen, and\n"
    "appends each, under a dated header, to Vexlarin.txt in the current directory.\n"
    "\n"
    "  --port N       COM port 1 to 4; without it the lowest-numbered port that opens. COMn is\n"
    "                 the device in VEXLARIN_COMn, else the one the port file names\n"
    "                 ($XDG_CONFIG_HOME/vexlarin/ports, COMn=PATH lines), else /dev/ttyS{n-1}\n"
    "  --device PATH  the device at PATH, as COM1 (warnings name port 1)\n"
    "  --page P       one page digit, 0 to 9 or A to F (lowercase taken as uppercase); default 0\n"
    "  --page all     pages 0 to F in turn, each as one listing with its own block\n"
    "  --file PATH    append the blocks to PATH instead of Vexlarin.txt\n"
    "  --image PATH   also write the bytes read to PATH as a memory image (page p at offset\n"
    "                 256 * p), as vexlarin-camsim --image reads it; lines not read keep what\n"
    "                 the image held (FF in a new one)\n"
    "  --ports        say which device each COM port stands for, where that comes from and\n"
    "                 whether it opens, and list the serial devices found\n"
    "  --help         this text\n"
    "\n"
    "The header line, then each line as it is read, go to standard output; status texts and\n"
    "warnings go to standard error. SIGINT, SIGTERM or SIGHUP stops the listing; a second one\n"
    "ends the program at once.\n"
    "\n"
    "Exit codes:\n"
    "  0    the complete page was read and written to the file and to standard output\n"
    "  1    wrong command line\n"
    "  2    no port opened\n"
    "  3    the page was refused (not one hexadecimal digit); no port touched, nothing written\n"
    "  4    the camera did not answer; nothing written\n"
    "  5    one or more lines could not be read (\"XXXX\" in their place)\n"
    "  6    the file or the image could not be written (takes precedence over 5 and 7)\n"
    "  7    standard output could not be written (reported on standard error); the page was\n"
    "       read and written to the file (5 takes precedence)\n"
    "  129  stopped by SIGHUP, 130 by SIGINT, 143 by SIGTERM; what was written stays\n"
    "With --page all, the most serious result of the pages, from the least: 0, 7, 4, 5, 6,\n"
    "an interruption.\n";

namespace {

// The pages `--page` asks for, in order; none when the value is refused: exactly one
// hexadecimal digit (the window's field, by contrast, goes by its first character), or "all".
std::vector<int> Pages(const std::string& value) {
    std::vector<int> pages;
    for (int page = 0; page < 16; ++page) {
        if (value == "all" ||
            (value.size() == 1 && PageDigit(value[0]) == "0123456789ABCDEF"[page])) {
            pages.push_back(page);
        }
    }
    return pages;
}

}  // namespace

ParseResult ParseListOptions(int argc, char** argv, ListOptions& options, std::string& error) {
    enum { kPort = 1, kDevice, kPage, kFile, kImage, kPorts, kHelp };
    static const option kOptions[] = {{"port", required_argument, nullptr, kPort},
                                      {"device", required_argument, nullptr, kDevice},
                                      {"page", required_argument, nullptr, kPage},
                                      {"file", required_argument, nullptr, kFile},
                                      {"image", required_argument, nullptr, kImage},
                                      {"ports", no_argument, nullptr, kPorts},
                                      {"help", no_argument, nullptr, kHelp},
                                      {nullptr, 0, nullptr, 0}};
    std::string page = "0";
    opterr = 0;  // said here, with the usage
    optind = 1;
    for (int option; (option = getopt_long(argc, argv, "h", kOptions, nullptr)) != -1;) {
        const std::string value = optarg ? optarg : "";
        if ((option == kDevice || option == kPage || option == kFile || option == kImage) &&
            value.empty()) {
            error = std::string(argv[optind - 1]) + " needs a value";
            return ParseResult::Usage;
        }
        switch (option) {
            case kPort:
                if (value.size() != 1 || value[0] < '1' || value[0] > '4') {
                    error = "--port takes 1, 2, 3 or 4, not \"" + value + "\"";
                    return ParseResult::Usage;
                }
                options.port = value[0] - '0';
                break;
            case kDevice:
                options.device = value;
                break;
            case kPage:
                page = value;  // checked once the whole line is understood
                break;
            case kFile:
                options.file = value;
                break;
            case kImage:
                options.image = value;
                break;
            case kPorts:
                options.ports = true;
                break;
            case 'h':
            case kHelp:
                options.help = true;
                return ParseResult::Ok;
            default:  // an option not known, or one without its value
                error = optopt >= kPort && optopt <= kImage
                            ? std::string(argv[optind - 1]) + " needs a value"
                            : "unknown argument: " + std::string(argv[optind - 1]);
                return ParseResult::Usage;
        }
    }
    if (optind < argc) {
        error = "unknown argument: " + std::string(argv[optind]);
        return ParseResult::Usage;
    }
    if (options.port != 0 && !options.device.empty()) {
        error = "--port and --device name the port twice";
        return ParseResult::Usage;
    }
    if (options.ports && argc != 2) {
        error = "--ports stands alone";
        return ParseResult::Usage;
    }
    options.pages = Pages(page);
    if (options.pages.empty()) {
        error =
            "--page takes one hexadecimal digit, 0 to 9 or A to F, or all, not \"" + page + "\"";
        return ParseResult::PageRefused;
    }
    return ParseResult::Ok;
}
