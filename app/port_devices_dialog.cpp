#include "app/port_devices_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "platform/serial_devices.h"
#include "ports/port_file.h"
#include "ports/port_map.h"

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

PortDevicesDialog::PortDevicesDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Port devices"));
    const ports::PortFile file = ports::ReadPortFile(ports::PortFilePath());
    const std::vector<platform::DetectedPort> detected = platform::DetectSerialPorts();

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Serial devices found")), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Device")), 0, 2);
    QStringList notes;
    for (int port = 1; port <= 4; ++port) {
        Row& row = m_rows[port - 1];
        const QString name = QStringLiteral("COM %1").arg(port);
        row.detected = new QComboBox;
        row.detected->addItem(detected.empty() ? QStringLiteral("(none found)")
                                               : QStringLiteral("(pick one)"));
        for (const platform::DetectedPort& device : detected) {
            row.detected->addItem(Q(device.description + " (" + device.kernelName + ")"),
                                  Q(device.path));
        }
        row.detected->setAccessibleName(name + QStringLiteral(" serial devices found"));
        row.path = new QLineEdit(Q(file.devices[port - 1]));
        // An empty row stands for the device COMn has when nothing else is said.
        row.path->setPlaceholderText(Q(platform::DefaultPortDevice(port)));
        row.path->setAccessibleName(name + QStringLiteral(" device"));
        row.path->setMinimumWidth(row.path->fontMetrics().averageCharWidth() * 48);
        connect(row.detected, &QComboBox::activated, this, [row](int index) {
            if (const QString path = row.detected->itemData(index).toString(); !path.isEmpty()) {
                row.path->setText(path);
            }
        });
        auto* label = new QLabel(name);
        label->setBuddy(row.detected);
        grid->addWidget(label, port, 0);
        grid->addWidget(row.detected, port, 1);
        grid->addWidget(row.path, port, 2);

        const ports::PortDevice mapped = ports::ResolvePort(port);
        if (mapped.source == ports::PortSource::Environment) {
            notes << QStringLiteral("COM%1 is %2, set by %3, whatever its row says.")
                         .arg(port)
                         .arg(Q(mapped.path), Q(mapped.origin));
        }
    }
    for (const std::string& problem : file.problems) {
        notes << Q(problem);
    }
    notes << (file.path.empty()
                  ? QStringLiteral("No place for a port file: neither XDG_CONFIG_HOME nor a home "
                                   "directory is known.")
                  : QStringLiteral("Kept in %1. An empty row stands for the device in grey.")
                        .arg(Q(file.path)));
    m_notes = new QLabel(notes.join(QLatin1Char('\n')));
    m_notes->setWordWrap(true);
    m_notes->setTextFormat(Qt::PlainText);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &PortDevicesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortDevicesDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_notes);
    layout->addWidget(buttons);
}

void PortDevicesDialog::accept() {
    std::array<std::string, 4> devices;
    for (int port = 1; port <= 4; ++port) {
        devices[port - 1] = m_rows[port - 1].path->text().trimmed().toStdString();
        if (!devices[port - 1].empty() && devices[port - 1][0] != '/') {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("COM%1: the device must be a full path starting "
                                                "with /.")
                                     .arg(port));
            m_rows[port - 1].path->setFocus();
            return;
        }
    }
    const std::string path = ports::PortFilePath();
    std::string error = "neither XDG_CONFIG_HOME nor a home directory is known";
    if (path.empty() || !ports::WritePortFile(path, devices, error)) {
        QMessageBox::warning(
            this, windowTitle(),
            QStringLiteral("The port file could not be written: %1").arg(Q(error)));
        return;
    }
    QDialog::accept();
}
