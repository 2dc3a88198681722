// The List command: page check, ping, 16 line reads into the view and the listing file.
#include "listing/list_command.h"

#include "camera/camera_commands.h"
#include "camera/hex_digit.h"
#include "listing/listing_file.h"
#include "serial/port_choice.h"

namespace {

constexpr int kPauseMs = 1000;
constexpr unsigned kLinesPerPage = 16;
// With the file's name: "Finished - added to Vexlarin.txt".
const char* const kAdded = "Finished - added to ";
const char* const kNotWritten = "Finished - could not write ";

// The whole first character of the field (all bytes of a UTF-8 sequence), so that the
// warning names what the user typed rather than half of it.
std::string FirstCharacter(const std::string& field) {
    if (field.empty() || field[0] == '\0') {
        return "";
    }
    const auto lead = static_cast<unsigned char>(field[0]);
    std::size_t length = 1;
    if (lead >= 0xF0) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    return field.substr(0, length);
}

// The page digit of the field, 'a' to 'f' taken as 'A' to 'F'; 0 after the warning when the
// field starts with anything else or is empty, since such a page would be read from wrong
// addresses under a warning per byte.
char CheckPage(CSerialLink& link, const std::string& field) {
    if (const char page = PageDigit(field.empty() ? '\0' : field[0]); page != '\0') {
        return page;
    }
    const std::string detail = "No recognized symbol: " + FirstCharacter(field);
    link.ReportError("Enter new value. ", detail.c_str());
    return '\0';
}

void ReopenPort(CSerialLink& link, int currentPort) {
    // Ends the monitor thread; the result is not needed: a port that did not open shows at
    // the next press.
    OpenListingPort(link, currentPort);
}

std::string ProgressText(char line) {
    std::string text = "Please wait - reading address  ";
    text += line;
    text += "0 - ";
    text += line;
    text += "F...";
    return text;
}

}  // namespace

char PageDigit(char typed) {
    if (typed >= 'a' && typed <= 'f') {
        typed = static_cast<char>(typed - 'a' + 'A');
    }
    return HexDigitValue(typed) >= 0 ? typed : '\0';
}

ListResult ListPage(CSerialLink& link, int currentPort, IListView& view,
                    const std::string& fileName) {
    const char page = CheckPage(link, view.PageFieldText());
    if (page == '\0') {
        return ListResult::PageRefused;
    }
    return ListPageDigit(link, currentPort, page, view, fileName);
}

ListResult ListPageDigit(CSerialLink& link, int currentPort, char page, IListView& view,
                         const std::string& fileName, std::vector<std::string>* lines) {
    if (lines) {
        lines->clear();
    }
    // The port hung up or a switch failed since the last listing: a re-plugged adapter
    // works at this press.
    if (!link.IsPortOpen() || link.PortHungUp()) {
        ReopenPort(link, currentPort);
    }
    // Gone during an earlier listing and not back: said then; nothing to ask now.
    if (link.PortGone()) {
        view.SetStatus(link.PortGoneText());
        return ListResult::NoAnswer;
    }

    link.StartMonitor();
    if (link.PingCamera() != 0 || link.IsCancelled()) {
        ReopenPort(link, currentPort);
        return link.IsCancelled() ? ListResult::Cancelled : ListResult::NoAnswer;
    }
    if (!link.PauseUnlessCancelled(kPauseMs)) {
        ReopenPort(link, currentPort);
        return ListResult::Cancelled;
    }

    CListingFile file(fileName, link);
    std::string header = DateText(std::time(nullptr));
    header += "   Page = ";
    header += page;
    file.WriteLine(header);
    view.ShowHeader(header);
    view.ResetLines();
    view.EnableListButton(false);

    char address[7] = {'0', '0', page, '0', '0', '2', '\0'};
    bool linesFailed = false;
    for (unsigned counter = 0; counter < kLinesPerPage; ++counter) {
        address[0] = CSerialLink::HexDigit(counter);
        address[1] = '0';
        address[6] = '\0';
        view.SetStatus(ProgressText(address[0]));
        // A copy at once: the link's text is valid only until its next read. Once the device
        // has gone, no line is asked: each left fails at once, and the block keeps its 16 lines.
        std::string line = link.PortGone() ? FAILED_LINE : link.ReadLine(address);
        if (link.IsCancelled()) {
            // The read was cut short: its text is no line of the camera's.
            file.Close();
            ReopenPort(link, currentPort);
            view.EnableListButton(true);
            return ListResult::Cancelled;
        }
        if (link.PortGone()) {
            line = FAILED_LINE;
        }
        view.AddLine(line);
        file.WriteLine(line);
        if (lines) {
            lines->push_back(line);
        }
        if (line == FAILED_LINE) {
            linesFailed = true;
        }
    }

    const bool failedBefore = file.Failed();
    view.SetStatus((failedBefore ? kNotWritten : kAdded) + file.Name());
    file.WriteLine("");
    file.Close();
    if (file.Failed() && !failedBefore) {
        // Only the closing line or the close failed: the status must not claim success.
        view.SetStatus(kNotWritten + file.Name());
    }
    ReopenPort(link, currentPort);
    view.EnableListButton(true);

    if (file.Failed()) {
        return ListResult::FileNotWritten;
    }
    return linesFailed ? ListResult::LinesFailed : ListResult::Complete;
}
