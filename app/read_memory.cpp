// "Read whole memory...": pages 0 to F on the port in use, each as a List press reads it, the
// bytes kept in a memory image, with the run's progress in a dialog that can cancel it.
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <algorithm>

#include "app/gui_call.h"
#include "app/vexlarin_dlg.h"
#include "app/window_list_view.h"

namespace {

const char* const kTitle = "Read whole memory";
const char* const kListingFile = "Vexlarin.txt";

// Every page, in order.
std::vector<int> AllPages() {
    std::vector<int> pages;
    for (int page = 0; page < 16; ++page) {
        pages.push_back(page);
    }
    return pages;
}

// A note of the window's own, above it without blocking it, as the warnings are: closing the
// window still ends the program at once. Closed by OK, Enter or Escape.
void Tell(QWidget* window, QMessageBox::Icon icon, const QString& text) {
    auto* box = new QMessageBox(icon, kTitle, text, QMessageBox::Ok, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

// The window's view for a run of pages: the List button stays greyed between the pages, and
// each line read moves the progress on.
class WholeMemoryView : public WindowListView {
public:
    WholeMemoryView(WindowListView view, std::unique_ptr<MemoryProgress>& progress)
        : WindowListView(std::move(view)), m_progress(progress) {}

    void AddLine(const std::string& text) override {
        WindowListView::AddLine(text);
        RunOnGuiThread([this] {
            if (m_progress) {
                m_progress->LineRead();
            }
        });
    }
    void EnableListButton(bool enable) override {
        if (!enable) {
            WindowListView::EnableListButton(false);
        }
    }

private:
    std::unique_ptr<MemoryProgress>& m_progress;  // the window's; GUI thread only
};

struct ProgressOnGui : IPageProgress {
    explicit ProgressOnGui(std::unique_ptr<MemoryProgress>& progress) : m_progress(progress) {}
    void PageStarting(int page, int n, int count) override {
        RunOnGuiThread([&] {
            if (m_progress) {
                m_progress->PageStarting(page, n, count);
            }
        });
    }
    std::unique_ptr<MemoryProgress>& m_progress;
};

}  // namespace

void CVexlarinDlg::OnReadMemory() {
    if (ListRunning() || m_portOpening) {
        return;
    }
    const QString dated = QStringLiteral("vexlarin-memory-%1.bin")
                              .arg(QDateTime::currentDateTime().toString("yyyy-MM-dd-HHmm"));
    // An image that is there already keeps what this run does not read, as vexlarin-list
    // --image keeps it: gathered over several runs, it is no file to warn of.
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Read whole memory: keep the image as"),
        QDir::current().filePath(dated), QStringLiteral("Memory images (*.bin);;All files (*)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty() || ListRunning()) {
        return;
    }
    std::string error;
    if (!m_image.Open(QDir::toNativeSeparators(path).toStdString(), kListingFile, error)) {
        // Before any port is touched: nothing read is lost for want of a place to keep it.
        Tell(this, QMessageBox::Warning,
             QStringLiteral("The image cannot be written:\n%1").arg(QString::fromStdString(error)));
        return;
    }

    m_progress = std::make_unique<MemoryProgress>(this);
    connect(m_progress.get(), &QProgressDialog::canceled, this, [this] { m_link.Cancel(); });
    m_listButton.setEnabled(false);
    RunCommand(
        [this, port = m_currentPort, page = m_page.text().toStdString()] {
            WholeMemoryView view(
                WindowListView(*this, m_page, m_status, m_lines, m_listButton, page), m_progress);
            ProgressOnGui progress(m_progress);
            m_memoryRead =
                ReadPages(m_link, port, AllPages(), view, kListingFile, &m_image, &progress);
        },
        [this] { OnReadMemoryDone(); });
}

void CVexlarinDlg::OnReadMemoryDone() {
    m_progress.reset();
    const bool cancelled = m_link.IsCancelled();
    m_link.ResetCancel();  // the next List or run is not cancelled before it began
    m_listButton.setEnabled(true);
    QString text = QString::fromStdString(ImageSummary(m_image, AllPages(), m_memoryRead));
    if (!m_memoryRead.imageError.empty()) {
        text = QStringLiteral("Writing the image failed: %1\n%2")
                   .arg(QString::fromStdString(m_memoryRead.imageError), text);
    }
    if (cancelled) {
        text = QStringLiteral("Cancelled.\n") + text;
    }
    const bool whole =
        !cancelled && m_memoryRead.imageError.empty() &&
        std::ranges::all_of(m_memoryRead.linesWritten, [](int n) { return n == 16; });
    Tell(this, whole ? QMessageBox::Information : QMessageBox::Warning, text);
}
