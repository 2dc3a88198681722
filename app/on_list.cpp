// The "List" button and Enter: the List command on a thread of its own, so that the window
// keeps painting while the camera is read.
#include <system_error>

#include "app/gui_call.h"
#include "app/vexlarin_dlg.h"
#include "listing/list_command.h"

namespace {

// The command's view of the window, used from the command thread: every call is carried out on
// the GUI thread and returns once the window shows it, or at once when the window is closing.
class WindowListView : public IListView {
public:
    // `pageAtPress` is the page field as it was when "List" was pressed: what the command
    // reads when the window closes before it got to the field.
    WindowListView(QWidget& window, QLineEdit& page, QLineEdit& status, QListWidget& lines,
                   QPushButton& listButton, std::string pageAtPress)
        : m_window(window),
          m_page(page),
          m_status(status),
          m_lines(lines),
          m_listButton(listButton),
          m_pageAtPress(std::move(pageAtPress)) {}

    std::string PageFieldText() override {
        std::string text;
        if (!RunOnGuiThread([&] { text = m_page.text().toStdString(); })) {
            // Closing: the command is cancelled anyway, and an empty text would raise a
            // warning about a page the user never typed.
            return m_pageAtPress;
        }
        return text;
    }
    void SetStatus(const std::string& text) override {
        RunOnGuiThread([&] {
            m_status.setText(QString::fromStdString(text));
            m_status.setCursorPosition(0);  // a long text shows its start
            // Painted now, not at the loop's leisure: the text must be up before its line is
            // read.
            m_window.repaint();
        });
    }
    void ResetLines() override {
        RunOnGuiThread([&] { m_lines.clear(); });
    }
    void AddLine(const std::string& text) override {
        RunOnGuiThread([&] { m_lines.addItem(QString::fromStdString(text)); });
    }
    void EnableListButton(bool enable) override {
        RunOnGuiThread([&] { m_listButton.setEnabled(enable); });
    }

private:
    QWidget& m_window;
    QLineEdit& m_page;
    QLineEdit& m_status;
    QListWidget& m_lines;
    QPushButton& m_listButton;
    std::string m_pageAtPress;
};

}  // namespace

void CVexlarinDlg::OnList() {
    // One command at a time on the link, and none while a port open of the window's own waits
    // in its warning box.
    if (ListRunning() || m_portOpening) {
        return;
    }
    for (int port = 1; port <= 4; ++port) {
        m_selectorsEnabled[port - 1] = PortSelector(port).isEnabled();
        PortSelector(port).setEnabled(false);
    }
    m_portDevicesEntry->setEnabled(false);
    const int port = m_currentPort;
    try {
        m_commandThread = std::thread([this, port, page = m_page.text().toStdString()] {
            WindowListView view(*this, m_page, m_status, m_lines, m_listButton, page);
            ListPage(m_link, port, view, "Vexlarin.txt");
            // Posted, not waited for: the GUI thread joins this thread when it runs it. The
            // window outlives the thread (the close path joins first), so the call has a target.
            QMetaObject::invokeMethod(
                this, [this] { OnListDone(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error& error) {
        OnListDone();  // gives the selectors back
        m_link.ReportError("std::thread()", error.code().message().c_str());
    }
}

void CVexlarinDlg::OnListDone() {
    if (m_commandThread.joinable()) {
        m_commandThread.join();
    }
    for (int port = 1; port <= 4; ++port) {
        PortSelector(port).setEnabled(m_selectorsEnabled[port - 1]);
    }
    m_portDevicesEntry->setEnabled(true);
    // The command's closing re-open may have found the port gone or back.
    ShowLastOpenOnToolTip();
}
