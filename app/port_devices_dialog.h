// "Port devices": which device each of COM1 to COM4 stands for, picked from the serial devices
// found on the machine or typed as a path, kept in the user's port file.
#pragma once

#include <QDialog>
#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_devices.h"

class QComboBox;
class QLabel;
class QLineEdit;

class PortDevicesDialog : public QDialog {
public:
    explicit PortDevicesDialog(QWidget* parent);
    // Ends the search for devices if it still runs, and waits for it: no thread outlives the
    // dialog.
    ~PortDevicesDialog() override;

    // Writes the rows the user changed to the port file; on failure says why and stays open.
    void accept() override;

private:
    struct Row {
        QComboBox* detected;
        QLineEdit* path;
        QLabel* reason;    // why the file's line for the port cannot be used; empty if it can
        QString fromFile;  // what the row showed when the dialog opened
    };
    // Fills the lists with the devices found (on the GUI thread, once the search is done).
    void ShowDetected(const std::vector<platform::DetectedPort>& detected);

    std::array<Row, 4> m_rows{};
    QLabel* m_notes;
    std::atomic<bool> m_closing{false};
    // The search runs off the GUI thread: on a machine with many devices it takes a while.
    std::thread m_detection;
};
