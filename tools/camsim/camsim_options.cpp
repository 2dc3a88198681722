#include "camsim_options.h"

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

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        auto takeValue = [&]() {
            if (hasValue) {
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto noValue = [&]() {
            if (hasValue) {
                error = name + " takes no value";
            }
            return !hasValue;
        };

        bool ok = true;
        if (name == "--help" || name == "-h") {
            ok = noValue();
            options.help = true;
        } else if (name == "--garbage") {
            ok = noValue();
            options.faults.garbage = true;
        } else if (name == "--garbage-stream") {
            ok = noValue();
            options.garbageStream = true;
        } else if (name == "--link") {
            ok = takeValue();
            options.link = value;
        } else if (name == "--image") {
            ok = takeValue();
            options.image = value;
        } else if (name == "--log") {
            ok = takeValue();
            options.log = value;
        } else if (name == "--silent-after") {
            ok = takeValue() && ParseCount(name, value, 0, options.faults.silentAfter, error);
        } else if (name == "--extra") {
            ok = takeValue() && ParseCount(name, value, 0, options.faults.extraBytes, error);
        } else if (name == "--pause") {
            ok = takeValue() && ParseCount(name, value, 0, options.pauseMs, error);
        } else if (name == "--baud") {
            ok = takeValue() && ParseCount(name, value, 1, options.baud, error);
        } else if (name == "--hangup-after") {
            ok = takeValue() && ParseCount(name, value, 0, options.hangupAfter, error);
        } else {
            error = "unknown option \"" + args[i] + "\"";
            ok = false;
        }
        if (!ok) {
            return false;
        }
        if ((name == "--link" || name == "--image" || name == "--log") && value.empty()) {
            error = name + " needs a file name";
            return false;
        }
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
  --garbage           answer with bytes of the right length but the wrong content
  --extra N           send N extra bytes (EE) after every reply
  --pause MS          pause MS milliseconds before each reply byte after the first
  --garbage-stream    after the first command, send no reply but a garbage byte every
                      millisecond (or every byte-time under --baud) without end
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
