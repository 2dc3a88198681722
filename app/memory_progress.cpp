#include "app/memory_progress.h"

#include <QPushButton>

namespace {

constexpr int kLinesPerPage = 16;

// "m:ss"
QString Minutes(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

MemoryProgress::MemoryProgress(QWidget* window) : QProgressDialog(window) {
    setWindowTitle(QStringLiteral("Read whole memory"));
    setWindowModality(Qt::NonModal);  // the warnings of the run come above the window
    // Shown until the window takes it down: the last line read must not close it by itself.
    setAutoReset(false);
    setAutoClose(false);
    setMinimumDuration(0);
    // Cancel only when meant: Enter, which lists in the window, must not end a run of minutes.
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    setCancelButton(cancel);
    connect(&m_tick, &QTimer::timeout, this, &MemoryProgress::ShowText);
    m_tick.start(1000);
    m_clock.start();
    ShowText();
    show();
}

void MemoryProgress::PageStarting(int page, int n, int count) {
    m_page = page;
    m_n = n;
    m_count = count;
    m_linesOfPage = 0;
    setMaximum(count * kLinesPerPage);
    setValue((n - 1) * kLinesPerPage);
    ShowText();
}

void MemoryProgress::LineRead() {
    ++m_linesOfPage;
    ++m_linesOfRun;
    setValue((m_n - 1) * kLinesPerPage + m_linesOfPage);
    ShowText();
}

void MemoryProgress::ShowText() {
    const qint64 spent = m_clock.elapsed();
    QString text;
    if (m_n == 0) {
        text = QStringLiteral("Starting...");
    } else {
        const int line = std::min(m_linesOfPage, kLinesPerPage - 1);
        text = QStringLiteral("Page %1 of %2 (page %3), line %4 of %5")
                   .arg(m_n)
                   .arg(m_count)
                   .arg(QChar("0123456789ABCDEF"[m_page]))
                   .arg(line + 1)
                   .arg(kLinesPerPage);
    }
    text += QStringLiteral("\nTime spent %1, ").arg(Minutes(spent));
    // Pages that did not answer read no lines: what is left is the lines not yet begun.
    const int left =
        m_count * kLinesPerPage - ((m_n > 0 ? m_n - 1 : 0) * kLinesPerPage + m_linesOfPage);
    if (m_linesOfRun == 0) {
        text += QStringLiteral("time left not known yet");
    } else {
        text += QStringLiteral("time left about %1").arg(Minutes(spent / m_linesOfRun * left));
    }
    setLabelText(text);
}
