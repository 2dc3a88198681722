#include "app/port_devices_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "ports/port_file.h"
#include "ports/port_map.h"
#include "ports/visible_text.h"

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Text from outside (the user's file, a device's own name) with its control characters shown.
QString Shown(const std::string& text) {
    return Q(ports::VisibleText(text));
}

#ifdef _WIN32
const char* const kNoPlace = "No place for a port file: APPDATA is not set.";
#else
const char* const kNoPlace =
    "No place for a port file: neither XDG_CONFIG_HOME nor a home directory is known.";
#endif

}  // namespace

PortDevicesDialog::PortDevicesDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Port devices"));
    const ports::PortFile file = ports::ReadPortFile(ports::PortFilePath());

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Serial devices found")), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Device")), 0, 2);
    QStringList notes;
    for (int port = 1; port <= 4; ++port) {
        Row& row = m_rows[port - 1];
        const QString name = QStringLiteral("COM %1").arg(port);
        row.detected = new QComboBox;
        row.detected->addItem(QStringLiteral("(looking for devices)"));
        row.detected->setEnabled(false);
        row.detected->setAccessibleName(name + QStringLiteral(" serial devices found"));
        // The path the user's file gives, even one that cannot be used: the user sees what
        // they wrote, and the reason beside it.
        const auto& unusable = file.unusable[port - 1];
        row.fromFile = file.devices[port - 1].empty() && unusable ? Shown(unusable->device)
                                                                  : Shown(file.devices[port - 1]);
        row.path = new QLineEdit(row.fromFile);
        // An empty row stands for the device COMn has when nothing else is said.
        row.path->setPlaceholderText(Q(platform::DefaultPortDevice(port)));
        row.path->setAccessibleName(name + QStringLiteral(" device"));
        row.path->setMinimumWidth(row.path->fontMetrics().averageCharWidth() * 48);
        row.reason = new QLabel(unusable ? Q(unusable->reason) : QString());
        row.reason->setTextFormat(Qt::PlainText);
        row.reason->setWordWrap(true);
        row.reason->setVisible(unusable.has_value());
        connect(row.detected, &QComboBox::activated, this, [row](int index) {
            if (const QString path = row.detected->itemData(index).toString(); !path.isEmpty()) {
                row.path->setText(path);
            }
        });
        auto* label = new QLabel(name);
        label->setBuddy(row.detected);
        grid->addWidget(label, 2 * port - 1, 0);
        grid->addWidget(row.detected, 2 * port - 1, 1);
        grid->addWidget(row.path, 2 * port - 1, 2);
        grid->addWidget(row.reason, 2 * port, 1, 1, 2);

        const ports::PortDevice mapped = ports::ResolvePort(port);
        if (mapped.source == ports::PortSource::Environment) {
            notes << QStringLiteral("COM%1 is %2, set by %3, whatever its row says.")
                         .arg(port)
                         .arg(Shown(mapped.path), Q(mapped.origin));
        }
    }
    for (const std::string& problem : file.problems) {
        notes << Q(problem);  // made visible where it was read
    }
    notes << (file.path.empty() ? QString::fromLatin1(kNoPlace)
                                : QStringLiteral("Kept in %1. An empty row stands for the device "
                                                 "in grey.")
                                      .arg(Shown(file.path)));
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

    m_detection = std::thread([this] {
        std::vector<platform::DetectedPort> found =
            platform::DetectSerialPorts([this] { return m_closing.load(); });
        // Queued to the dialog: dropped with it if it is gone by then (the destructor waits
        // for this thread, so the dialog is still there while the call is posted).
        QMetaObject::invokeMethod(
            this, [this, found = std::move(found)] { ShowDetected(found); }, Qt::QueuedConnection);
    });
}

PortDevicesDialog::~PortDevicesDialog() {
    m_closing.store(true);
    m_detection.join();
}

void PortDevicesDialog::ShowDetected(const std::vector<platform::DetectedPort>& detected) {
    for (Row& row : m_rows) {
        row.detected->clear();
        row.detected->addItem(detected.empty() ? QStringLiteral("(none found)")
                                               : QStringLiteral("(pick one)"));
        for (const platform::DetectedPort& device : detected) {
            // Maker, model and serial are the device's own strings: anything may be in them.
            row.detected->addItem(Shown(device.description + " (" + device.kernelName + ")"),
                                  Q(device.path));
        }
        row.detected->setEnabled(true);
    }
}

void PortDevicesDialog::accept() {
    ports::PortChanges changes;
    for (int port = 1; port <= 4; ++port) {
        Row& row = m_rows[port - 1];
        const QString typed = row.path->text().trimmed();
        if (typed == row.fromFile.trimmed()) {
            continue;  // left alone: the file's lines for the port stay as they are
        }
        const std::string device = typed.toStdString();
        QString wrong;
        if (ports::HasControlCharacter(device)) {
            wrong = QStringLiteral("COM%1: the device holds a control character.");
        } else if (!device.empty() && !platform::IsFullDevicePath(device)) {
            wrong = QStringLiteral("COM%1: the device must be a full path, such as %2.");
        }
        if (!wrong.isEmpty()) {
            QMessageBox::warning(this, windowTitle(),
                                 wrong.arg(port).arg(Q(platform::DefaultPortDevice(port))));
            row.path->setFocus();
            return;
        }
        changes[port - 1] = device;
    }
    const std::string path = ports::PortFilePath();
    std::string error = kNoPlace;
    if (path.empty() || !ports::WritePortFile(path, changes, error)) {
        QMessageBox::warning(
            this, windowTitle(),
            QStringLiteral("The port file could not be written: %1").arg(Shown(error)));
        return;
    }
    QDialog::accept();
}
