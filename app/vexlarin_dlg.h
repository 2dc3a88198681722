// CVexlarinDlg: the program's main window. It owns the serial link, holds the controls the
// commands write to and the number of the port in use.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "app/focus_style.h"
#include "app/memory_progress.h"
#include "app/three_state_box.h"
#include "app/warning_box.h"
#include "listing/memory_read.h"
#include "serial/serial_link.h"

class CVexlarinDlg : public QDialog {
public:
    // Lays out the controls, probes the ports and selects the lowest that opened.
    CVexlarinDlg();
    ~CVexlarinDlg() override;

    // Every way of closing (Escape, the close box, the window menu's Close) ends here: a running
    // listing is cancelled and open warning boxes are dismissed before the window goes.
    void done(int result) override;

protected:
    // The window menu, on a right-click on the background, a label or a frame.
    void contextMenuEvent(QContextMenuEvent* event) override;

    // A click on COM n's selector (or Space on it); each selects its port by SelectPort.
    void OnPort1();
    void OnPort2();
    void OnPort3();
    void OnPort4();
    void OnList();
    void OnAbout();
    // "Port devices...": which device each port stands for; on OK the ports are probed again.
    void OnPortDevices();
    // "Read whole memory...": pages 0 to F as sixteen List presses read them, kept in a memory
    // image too, with a progress dialog that can cancel the run.
    void OnReadMemory();

    // The warnings' box comes first: the link holds a pointer to it for its whole life.
    QtWarningSink m_warningSink{this};

    // Outlives the controls that use it.
    FocusStyle m_focusStyle;

    // The controls, in template order: the order of creation, which is also the tab order.
    QPushButton m_listButton{this};
    QListWidget m_lines{this};
    // m_port1 to m_port4, the selectors of COM1 to COM4: COM n's is m_ports[n - 1].
    std::array<ThreeStateCheckBox, 4> m_ports{ThreeStateCheckBox(this), ThreeStateCheckBox(this),
                                              ThreeStateCheckBox(this), ThreeStateCheckBox(this)};
    QLabel m_portLabels[4]{QLabel(this), QLabel(this), QLabel(this), QLabel(this)};
    QLineEdit m_status{this};
    QLineEdit m_page{this};
    QGroupBox m_pageFrame{this};
    QGroupBox m_portFrame{this};

    QMenu m_windowMenu{this};
    QAction* m_portDevicesEntry = nullptr;
    QAction* m_readMemoryEntry = nullptr;
    std::int32_t m_currentPort = 0;
    CSerialLink m_link{&m_warningSink};

    // The command's thread (List or the whole memory); joined by the close path and the
    // destructor.
    std::thread m_commandThread;

    // The whole memory's run: its progress while it runs; the image and what the run read,
    // written by the command thread, read by the GUI thread once it is joined.
    std::unique_ptr<MemoryProgress> m_progress;
    CMemoryImage m_image;
    MemoryRead m_memoryRead;

private:
    // Cancels the link, releases boxes and waiting threads, joins the command thread.
    void StopCommandThread();

    // Port selection (port_selection.cpp) and the List command's window side (on_list.cpp).
    QCheckBox& PortSelector(int port) { return m_ports[port - 1]; }
    // Probes the four ports and selects the lowest that opened; at start sets the page field to
    // "0", later keeps it and the port in use where that still opens.
    void ProbePorts(bool atStart = true);
    // OpenPort on `port` with the fixed settings; brings that port's tooltips up to date.
    bool OpenSelectedPort(int port);
    void SelectPort(int port);
    // Why the port the link tried last did or did not open, on its label and its selector.
    void ShowLastOpenOnToolTip();
    bool ListRunning() const { return m_commandThread.joinable(); }
    // Runs `command` on the command thread, with the selectors and the menu's port entries
    // greyed meanwhile; then, on the GUI thread, OnListDone and `then`, unless the close path
    // joined the thread first.
    void RunCommand(std::function<void()> command, std::function<void()> then = {});
    // Runs on the GUI thread once the command has returned: joins and restores the selectors.
    void OnListDone();
    // The whole memory's end: the progress taken down, the link ready for the next command,
    // and what the image holds from the run.
    void OnReadMemoryDone();

    // Each selector's enabled state when the running listing began.
    std::array<bool, 4> m_selectorsEnabled{};
    // An OpenPort of the window's own is under way: its warning box must not let a switch or a
    // listing start on the same link.
    bool m_portOpening = false;
};
