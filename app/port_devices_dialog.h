// "Port devices": which device each of COM1 to COM4 stands for, picked from the serial devices
// found on the machine or typed as a path, kept in the user's port file.
#pragma once

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;

class PortDevicesDialog : public QDialog {
public:
    explicit PortDevicesDialog(QWidget* parent);

    // Writes the port file; on failure says why and stays open.
    void accept() override;

private:
    struct Row {
        QComboBox* detected;
        QLineEdit* path;
    };
    std::array<Row, 4> m_rows{};
    QLabel* m_notes;
};
