#include "camsim_options.h"

#include <getopt.h>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace camsim {

namespace {

bool ParseCount(const std::string& name, const std::string& text, int lowest, int& value,
                std::string& error) {
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || parsed < lowest || parsed > INT_MAX) {
        error = name + " needs a whole number of at least " + std::to_string(lowest) + ", not \"" +
                text + "\"";
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    enum { kLink = 1, kImage, kLog, kSilentAfter, kPause, kBaud, kHangupAfter, kHelp };
    static const option kOptions[] = {{"link", required_argument, nullptr, kLink},
                                      {"image", required_argument, nullptr, kImage},
                                      {"log", required_argument, nullptr, kLog},
                                      {"silent-after", required_argument, nullptr, kSilentAfter},
                                      {"pause", required_argument, nullptr, kPause},
                                      {"baud", required_argument, nullptr, kBaud},
                                      {"hangup-after", required_argument, nullptr, kHangupAfter},
                                      {"help", no_argument, nullptr, kHelp},
                                      {nullptr, 0, nullptr, 0}};
    opterr = 0;  // said by the caller, with a hint
    optind = 1;
    for (int option; (option = getopt_long(argc, argv, "h", kOptions, nullptr)) != -1;) {
        const std::string name = option == 'h' || option == '?'
                                     ? argv[optind - 1]
                                     : std::string("--") + kOptions[option - 1].name;
        const std::string value = optarg ? optarg : "";
        bool ok = true;
        switch (option) {
            case kLink:
            case kImage:
            case kLog:
                if (value.empty()) {
                    error = name + " needs a file name";
                    return false;
                }
                (option == kLink    ? options.link
                 : option == kImage ? options.image
                                    : options.log) = value;
                break;
            case kSilentAfter:
                ok = ParseCount(name, value, 0, options.faults.silentAfter, error);
                break;
            case kPause:
                ok = ParseCount(name, value, 0, options.pauseMs, error);
                break;
            case kBaud:
                ok = ParseCount(name, value, 1, options.baud, error);
                break;
            case kHangupAfter:
                ok = ParseCount(name, value, 0, options.hangupAfter, error);
                break;
            case 'h':
            case kHelp:
                options.help = true;
                break;
            default:  // an option not known, or one without its value
                error = optopt >= kLink && optopt <= kHangupAfter
                            ? name + " needs a value"
                            : "unknown option \"" + name + "\"";
                return false;
        }
        if (!ok) {
            return false;
        }
    }
    if (optind < argc) {
        error = "unknown option \"" + std::string(argv[optind]) + "\"";
        return false;
    }
    return true;
}

std::string UsageText() {
    return R"(Usage: vexlarin-camsim [OPTION]...
A simulated DV camera on a pseudo-terminal, for trying and testing Vexlarin without hardware.

It prints the device path of its terminal on standard output (one line) and answers the
camera protocol there until it is interrupted (Ctrl-C) or terminated. Map a port to it:
  VEXLARIN_COM1=/dev/pts/N vexlarin
It keeps the terminal open itself, so the tool may close and re-open the port at will.

Commands answered (everything else is dropped without reply, as a camera resyncs):
  05 80 7F                      ping     -> 06 80 7F
  01 80 13 ... FF CF (24 bytes)  set-up   -> 06, the 24 command bytes, 06 (26 bytes)
  10 3B 04                      ack      -> 06
  01 80 0E 10 20 4D 40 a7 a8 a9 FF*8 c   read -> 06 80 0D 10 20 4D 40 a7 a8 D FF*7 x
      (c must be the xor of command bytes 2..17; D is the memory byte at a7 a8 a9;
       x is the xor of reply bytes 2..16; 18 bytes)
A command left unfinished for 500 ms is dropped.

Memory:
  default        the byte at address a7 a8 a9 is (a7 + a8 + a9) mod 256; on page p, line r,
                 byte i (a7 = p0, a8 = ri, a9 = 02) that is 16p + 16r + i + 2 mod 256
  --image FILE   file offset 256 * p + a8 holds the byte of page p (a7 = p0, a9 = 02); other
                 addresses and offsets past the end of the file read FF; 4096 bytes hold all
                 16 pages

Options:
  --link PATH         also make PATH a symlink to the device (replaces a stale symlink;
                      removed on exit)
  --log FILE          append one line per exchange: the received bytes in hexadecimal, a blank,
                      the reply in hexadecimal ("-" when none was sent); written and flushed
                      before the reply's first byte goes out. Dropped bytes get a line too.
  --help              show this text and exit

Faults:
  --silent-after N    answer the first N commands, then stay silent
  --pause MS          pause MS milliseconds before each reply byte after the first
  --baud RATE         pace every byte at RATE baud, 10 bits a byte, both ways: a command counts
                      as received when its last byte would have crossed the wire, and reply
                      bytes go out one byte-time apart
  --hangup-after N    answer N commands; at the next one close the terminal (the tool sees a
                      hang-up) and exit with status 0

Exit status: 0 after SIGINT or SIGTERM (or a hang-up fault), 1 when the terminal, the image or
the log cannot be set up, 2 on a bad command line.
)";
}

}  // namespace camsim
