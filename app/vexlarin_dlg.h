// CVexlarinDlg: the program's main dialog. It owns the serial link, holds the controls the
// commands write to and the number of the port in use.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/dialog/dialog.h"
#include "platform/dialog/warning_box.h"
#include "serial/serial_link.h"

class CVexlarinDlg : public CDialog {
public:
    explicit CVexlarinDlg(CDialog* parent = nullptr);
    ~CVexlarinDlg() override;

    // Puts `text` on the tooltip of the "COM n" label (n = 1..4): the labels have no id.
    void SetPortLabelToolTip(int port, const std::string& text);

protected:
    MessageMap GetMessageMap() const override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnEndDialog() override;

    void OnSysCommand(std::uint32_t nID, std::intptr_t lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnPort1();
    void OnPort2();
    void OnPort3();
    void OnPort4();
    void OnList();

    // Probes the four ports and selects the lowest that opened; sets the page field to "0".
    void ProbePorts();

    // The warnings' box comes first: the link holds a pointer to it for its whole life.
    platform::QtWarningSink m_warningSink;

    CEdit m_status;
    CButton m_listButton;
    CListBox m_lines;
    CButton m_port4;
    CButton m_port3;
    CButton m_port2;
    CButton m_port1;
    HICON m_hIcon = nullptr;
    std::int32_t m_currentPort = 0;
    CSerialLink m_link{&m_warningSink};

    // The List command's thread; joined by the close path and the destructor.
    std::thread m_commandThread;

private:
    // Cancels the link, releases boxes and waiting threads, joins the command thread.
    void StopCommandThread();

    // Port selection (port_selection.cpp) and the List command's window side (on_list.cpp).
    CButton& PortSelector(int port);
    // OpenPort on `port` with the fixed settings; brings that port's tooltip up to date.
    bool OpenSelectedPort(int port);
    void SelectPort(int port);
    // The tooltip of the port the link tried last, from what that open found.
    void ShowLastOpenOnToolTip();
    bool ListRunning() const { return m_commandThread.joinable(); }
    // Runs on the GUI thread once ListPage has returned: joins and restores the selectors.
    void OnListDone();

    // Each selector's enabled state when the running listing began.
    std::array<bool, 4> m_selectorsEnabled{};
    // An OpenPort of the window's own is under way: its warning box must not let a switch or a
    // listing start on the same link.
    bool m_portOpening = false;

    static const MessageMapEntry messageMap[];
};
