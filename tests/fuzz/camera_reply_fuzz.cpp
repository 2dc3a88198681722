#include "camera_reply_fuzz.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "camera/reply_tests.h"
#include "support/warning_recorder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// What the camera is asked and what it must answer, written out here rather than taken from
// the program's own tables, so that a wrong table shows.
const std::string kPing = "05807F";
const std::string kAck = "103B04";
const std::string kSetup = "01801320030001FF01011F0201190301FF8001078101FFCF";
const Bytes kPingReply{0x06, 0x80, 0x7F};
const Bytes kAckReply{0x06};
const char kHex[] = "0123456789ABCDEF";

// A digit's value, 16 for anything that is not an uppercase hexadecimal digit.
unsigned Value(char c) {
    return static_cast<unsigned>(std::find(kHex, kHex + 16, c) - kHex);
}

// The bytes a command text stands for: pairs, high digit first, in 8-bit arithmetic.
Bytes ToBytes(const std::string& text) {
    Bytes bytes((text.size() + 1) / 2, 0);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes[i / 2] = static_cast<std::uint8_t>(16 * Value(text[i]) + Value(text[i + 1]));
    }
    return bytes;
}

// The commands of a whole line of page `page`: the handshake, then for each byte index d the
// read of address bytes page0, a0 d, 02 with the exclusive-or of bytes 2 to 17 as its last
// byte, the ack and the ping.
std::vector<std::string> LineCommands(char page, char a0) {
    std::vector<std::string> commands{kPing, kSetup, kAck, kPing};
    for (const char d : std::string(kHex)) {
        std::string read = "01800E10204D40";
        if (page != '\0') {  // else the text ends where the page character stands
            read += std::string{page, '0', a0, d} + "02FFFFFFFFFFFFFFFF";
            const Bytes bytes = ToBytes(read);
            std::uint8_t check = 0;
            for (std::size_t i = 2; i < bytes.size(); ++i) {
                check ^= bytes[i];
            }
            read += std::string{kHex[check / 16], kHex[check % 16]};
        }
        commands.insert(commands.end(), {read, kAck, kPing});
    }
    return commands;
}

struct Session {
    CSerialLink& link;
    const std::uint8_t* next;
    const std::uint8_t* end;
    std::vector<std::string> commands;
    std::vector<bool> passed;
    Bytes data;  // byte 9 of every read reply that passed
    std::string violation;

    void Fail(const std::string& what) {
        if (violation.empty()) {
            violation = what;
        }
    }

    void Answer(const char* text) {
        const std::string command = text;
        commands.push_back(command);
        const Bytes expected = ToBytes(command);
        const std::uint8_t* sent = CSerialLinkTestAccess::SendBuffer(link);
        if (CSerialLinkTestAccess::SendLength(link) != static_cast<std::int32_t>(expected.size()) ||
            !std::equal(expected.begin(), expected.end(), sent) ||
            std::any_of(sent + expected.size(), sent + 100, [](std::uint8_t b) { return b; })) {
            Fail("the bytes handed over differ from the command " + command);
        }

        const std::size_t length = next < end ? *next++ : 0;
        const Bytes reply(next, next + std::min<std::size_t>(length, end - next));
        next += reply.size();
        for (std::uint8_t byte : reply) {
            CSerialLinkTestAccess::StoreReplyByte(link, byte);
        }
        // The buffer takes the first 40 bytes and drops the rest.
        const Bytes held(reply.begin(), reply.begin() + std::min<std::size_t>(reply.size(), 40));
        if (CSerialLinkTestAccess::ReplySnapshot(link) != held ||
            CSerialLinkTestAccess::ReplyCount(link) != static_cast<std::int32_t>(held.size())) {
            Fail("the reply buffer does not hold the first 40 bytes received");
        }

        // Content replies pass when the bytes up to the first zero are the expected ones; the
        // others when their count is exact. The program's tests run on a copy exactly as long
        // as the bytes held, so that a read past them shows under AddressSanitizer.
        const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[held.size() + 1]);
        std::copy(held.begin(), held.end(), copy.get());
        const bool content = command == kPing || command == kAck;
        bool pass;
        bool verdict;
        if (content) {
            const Bytes& want = command == kPing ? kPingReply : kAckReply;
            pass = Bytes(held.begin(), std::find(held.begin(), held.end(), 0)) == want;
            verdict = ReplyContentMatches(copy.get(), held.size(), want.data(), want.size());
        } else {
            const std::int32_t want = command == kSetup ? 26 : 18;
            pass = held.size() == static_cast<std::size_t>(want);
            verdict = ReplyCountMatches(static_cast<std::int32_t>(held.size()), want);
        }
        if (verdict != pass) {
            Fail("the reply test for " + command + " judged a reply wrongly");
        }
        passed.push_back(pass);
        if (!pass) {
            link.Cancel();  // the exchange would wait out the reply time-out; end it at once
        } else if (!content && command != kSetup) {
            data.push_back(held[9]);
        }
    }
};

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
    // Every COM port is a path that does not exist: no device is ever opened.
    static const bool mapped = [] {
        for (int n = 1; n <= 4; ++n) {
            setenv(("VEXLARIN_COM" + std::to_string(n)).c_str(), "/nonexistent/vexlarin-fuzz", 1);
        }
        return true;
    }();
    (void)mapped;
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
        if (session.commands != std::vector<std::string>{kPing} ||
            result != (session.passed[0] ? 0 : 1)) {
            session.Fail("the ping sent other than one ping, or its result ignores the reply");
        }
    } else {
        char address[] = {a0, '0', page, '0', '0', '2', '\0'};
        const std::string result = link.ReadLine(address);

        // Every command in order, up to the first reply that failed.
        const std::vector<std::string> all = LineCommands(page, a0);
        const auto failed = std::find(session.passed.begin(), session.passed.end(), false);
        const bool complete = failed == session.passed.end();
        const std::size_t sent = session.commands.size();
        if (sent > all.size() ||
            !std::equal(session.commands.begin(), session.commands.end(), all.begin()) ||
            (complete ? sent != all.size() : failed != session.passed.end() - 1)) {
            session.Fail("the line read sent the wrong commands or went on after a failure");
        }
        std::string line = {a0, '0', ' ', ' ', ' ', ' '};
        for (std::uint8_t byte : session.data) {
            line += {kHex[byte / 16], kHex[byte % 16], ' '};
        }
        if (result != (complete ? line : "XXXX") || CSerialLinkTestAccess::Line(link) != line) {
            session.Fail("the line text does not hold the data bytes received");
        }
        reads = sent < 5 ? 0 : (sent - 5) / 3 + 1;
        const std::string changed = {a0, reads == 0 ? '0' : kHex[reads - 1], page, '0', '0', '2'};
        if (std::string(address, 6) != changed) {
            session.Fail("the address text was changed beyond its byte digit");
        }
    }

    // A bad page character is named once where the address bytes are computed and once where
    // the command is converted, which a zero character ends before it is reached.
    const std::vector<std::string> texts = warnings.Texts();
    const std::size_t perRead = Value(page) < 16 ? 0 : page == '\0' ? 1 : 2;
    if (Count(texts, "DV Camera not responding. ") != 0) {
        session.Fail("a reply that passes its test was refused until the time-out");
    } else if (Count(texts, "Enter new value. ") != reads * perRead ||
               texts.size() != reads * perRead) {
        session.Fail("wrong number of warnings about the page character");
    }
    return session.violation;
}
