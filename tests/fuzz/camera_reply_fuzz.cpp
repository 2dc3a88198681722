#include "camera_reply_fuzz.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "camera/reply_tests.h"
#include "platform/serial_port.h"
#include "support/warning_recorder.h"

namespace {

// What the camera is asked and what it must answer, written out here rather than taken from
// the program's own tables, so that a wrong table shows.
const std::string kPing = "05807F";
const std::string kAck = "103B04";
const std::string kSetup = "01801320030001FF01011F0201190301FF8001078101FFCF";
const std::vector<std::uint8_t> kPingReply{0x06, 0x80, 0x7F};
const std::vector<std::uint8_t> kAckReply{0x06};
constexpr std::size_t kSetupCount = 26;
constexpr std::size_t kReadCount = 18;
constexpr std::size_t kBufferSize = 40;
constexpr std::size_t kDataIndex = 9;

const char kHex[] = "0123456789ABCDEF";

// A digit's value, 16 for anything that is not an uppercase hexadecimal digit.
unsigned Value(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    return 16;
}

// The bytes a command text stands for: pairs, high digit first, in 8-bit arithmetic.
std::vector<std::uint8_t> Bytes(const std::string& text) {
    std::vector<std::uint8_t> bytes((text.size() + 1) / 2, 0);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes[i / 2] = static_cast<std::uint8_t>(16 * Value(text[i]) + Value(text[i + 1]));
    }
    return bytes;
}

// The read command for byte index `d` of the line `a0` on page `page`: the address bytes
// page0, a0 d, 02, and as last byte the exclusive-or of bytes 2 to 17.
std::string ReadCommand(char page, char a0, char d) {
    std::string text = "01800E10204D40";
    if (page == '\0') {
        return text;  // the text ends where the page character stands
    }
    text += page;
    text += '0';
    text += a0;
    text += d;
    text += "02FFFFFFFFFFFFFFFF";
    const std::vector<std::uint8_t> bytes = Bytes(text + "00");
    std::uint8_t check = 0;
    for (std::size_t i = 2; i <= 17; ++i) {
        check ^= bytes[i];
    }
    text += kHex[check / 16];
    text += kHex[check % 16];
    return text;
}

// The commands of a whole line, in order.
std::vector<std::string> LineCommands(char page, char a0) {
    std::vector<std::string> commands{kPing, kSetup, kAck, kPing};
    for (int i = 0; i < 16; ++i) {
        commands.push_back(ReadCommand(page, a0, kHex[i]));
        commands.push_back(kAck);
        commands.push_back(kPing);
    }
    return commands;
}

// Whether the reply bytes as the buffer holds them pass the test for `command`. A content
// test reads the zero-filled buffer as a string; a count test looks only at the count.
bool ReplyPasses(const std::string& command, const std::vector<std::uint8_t>& held) {
    if (command == kPing || command == kAck) {
        const std::vector<std::uint8_t>& expected = command == kPing ? kPingReply : kAckReply;
        const auto zero = std::find(held.begin(), held.end(), 0);
        return std::vector<std::uint8_t>(held.begin(), zero) == expected;
    }
    return held.size() == (command == kSetup ? kSetupCount : kReadCount);
}

struct Session {
    CSerialLink& link;
    const std::uint8_t* next;
    const std::uint8_t* end;
    std::vector<std::string> commands;
    std::vector<bool> passed;
    std::vector<std::uint8_t> data;  // byte 9 of every read reply that passed
    std::string violation;

    void Fail(const std::string& what) {
        if (violation.empty()) {
            violation = what;
        }
    }

    std::size_t Take(std::size_t wanted, std::vector<std::uint8_t>& bytes) {
        const auto n = std::min<std::size_t>(wanted, static_cast<std::size_t>(end - next));
        bytes.assign(next, next + n);
        next += n;
        return n;
    }

    void CheckSent(const std::string& command) {
        const std::vector<std::uint8_t> expected = Bytes(command);
        const std::int32_t length = CSerialLinkTestAccess::SendLength(link);
        const std::uint8_t* sent = CSerialLinkTestAccess::SendBuffer(link);
        if (length != static_cast<std::int32_t>(expected.size()) ||
            !std::equal(expected.begin(), expected.end(), sent)) {
            Fail("the bytes handed over differ from the command " + command);
        }
        for (std::size_t i = expected.size(); i < 100; ++i) {
            if (sent[i] != 0) {
                Fail("a byte behind the command " + command + " is not zero");
            }
        }
    }

    void Answer(const char* text) {
        const std::string command = text;
        commands.push_back(command);
        CheckSent(command);

        std::vector<std::uint8_t> length;
        std::vector<std::uint8_t> reply;
        Take(Take(1, length) == 1 ? length[0] : 0, reply);
        for (std::uint8_t byte : reply) {
            CSerialLinkTestAccess::StoreReplyByte(link, byte);
        }
        // The buffer takes the first 40 bytes and drops the rest.
        const std::vector<std::uint8_t> held(
            reply.begin(), reply.begin() + static_cast<long>(std::min(reply.size(), kBufferSize)));
        if (CSerialLinkTestAccess::ReplySnapshot(link) != held ||
            CSerialLinkTestAccess::ReplyCount(link) != static_cast<std::int32_t>(held.size())) {
            Fail("the reply buffer does not hold the first 40 bytes received");
        }
        const bool pass = ReplyPasses(command, held);
        CheckReplyTests(command, held, pass);
        passed.push_back(pass);
        if (!pass) {
            // The exchange would wait out the reply time-out; end it at once instead.
            link.Cancel();
        } else if (command != kPing && command != kAck && command != kSetup) {
            data.push_back(held[kDataIndex]);
        }
    }

    // The program's reply tests themselves, on a copy exactly as long as the bytes received,
    // so that a read past them shows under AddressSanitizer.
    void CheckReplyTests(const std::string& command, const std::vector<std::uint8_t>& held,
                         bool pass) {
        const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[held.size() + 1]);
        std::copy(held.begin(), held.end(), copy.get());
        bool verdict;
        if (command == kPing || command == kAck) {
            const std::vector<std::uint8_t>& expected = command == kPing ? kPingReply : kAckReply;
            verdict =
                ReplyContentMatches(copy.get(), held.size(), expected.data(), expected.size());
        } else {
            const std::size_t wanted = command == kSetup ? kSetupCount : kReadCount;
            verdict = ReplyCountMatches(static_cast<std::int32_t>(held.size()),
                                        static_cast<std::int32_t>(wanted));
        }
        if (verdict != pass) {
            Fail("the reply test for " + command + (pass ? " refused" : " passed") +
                 " a reply it should not have");
        }
    }
};

void MapPortsAway() {
    // Every COM port is a path that does not exist: no device is ever opened.
    static const bool mapped = [] {
        for (int n = 1; n <= 4; ++n) {
            const std::string name = "VEXLARIN_COM" + std::to_string(n);
            setenv(name.c_str(), "/nonexistent/vexlarin-fuzz-port", 1);
        }
        return true;
    }();
    (void)mapped;
}

std::size_t Count(const std::vector<std::string>& texts, const std::string& part) {
    return static_cast<std::size_t>(std::count_if(texts.begin(), texts.end(), [&](auto& text) {
        return text.find(part) != std::string::npos;
    }));
}

}  // namespace

std::string FuzzCameraReplies(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return {};
    }
    MapPortsAway();
    const char page = static_cast<char>(data[0]);
    const bool ping = (data[1] & 1) != 0;
    const char a0 = kHex[(data[1] >> 1) & 15];

    WarningRecorder warnings;
    CSerialLink link(&warnings);
    // The port does not open, but the events and the buffers exist: enough for the seam.
    link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512);
    Session session{link, data + 2, data + size, {}, {}, {}, {}};
    CSerialLinkTestAccess::SetCommandHandedOver(
        link, [&session](const char* command) { session.Answer(command); });

    std::size_t reads = 0;
    if (ping) {
        const int result = link.PingCamera();
        if (session.commands != std::vector<std::string>{kPing}) {
            session.Fail("the ping sent other commands than one ping");
        } else if (result != (session.passed[0] ? 0 : 1)) {
            session.Fail("the ping's result does not follow its reply");
        }
    } else {
        char address[] = {a0, '0', page, '0', '0', '2', '\0'};
        const std::string result = link.ReadLine(address);

        // Every command in order, up to the first reply that failed.
        const std::vector<std::string> all = LineCommands(page, a0);
        const auto failed = std::find(session.passed.begin(), session.passed.end(), false);
        const std::size_t sent = session.commands.size();
        if (sent > all.size() ||
            !std::equal(session.commands.begin(), session.commands.end(), all.begin()) ||
            (failed == session.passed.end() ? sent != all.size()
                                            : failed != session.passed.end() - 1)) {
            session.Fail("the line read sent the wrong commands or went on after a failure");
        }
        std::string line = {a0, '0', ' ', ' ', ' ', ' '};
        for (std::uint8_t byte : session.data) {
            line += {kHex[byte / 16], kHex[byte % 16], ' '};
        }
        const bool complete = failed == session.passed.end();
        if (result != (complete ? line : "XXXX") || CSerialLinkTestAccess::Line(link) != line) {
            session.Fail("the line text does not hold the data bytes received");
        }
        reads = sent < 5 ? 0 : (sent - 5) / 3 + 1;
        const char a1 = reads == 0 ? '0' : kHex[reads - 1];
        if (address[0] != a0 || address[1] != a1 || address[2] != page ||
            std::string(address + 3) != "002") {
            session.Fail("the address text was changed beyond its byte digit");
        }
    }

    const std::vector<std::string> texts = warnings.Texts();
    if (Count(texts, "DV Camera not responding. ") != 0) {
        session.Fail("a reply that passes its test was refused until the time-out");
    }
    // A bad page character is named once where the address bytes are computed and once where
    // the command is converted, which a zero character ends before it is reached.
    const std::size_t perRead = Value(page) < 16 ? 0 : page == '\0' ? 1 : 2;
    if (Count(texts, "Enter new value. ") != reads * perRead || texts.size() != reads * perRead) {
        session.Fail("wrong number of warnings about the page character");
    }
    return session.violation;
}
