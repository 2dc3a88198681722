// The whole memory's progress: the page and its line, the time spent and an estimate of the
// time left from the time per line so far. Its Cancel button, Escape and its close box emit
// canceled.
#pragma once

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTimer>

class MemoryProgress : public QProgressDialog {
public:
    // Shown at once, its clock started, beside `window` without blocking it.
    explicit MemoryProgress(QWidget* window);

    // Page `page` (0 to 15) begins, the `n`-th (from 1) of `count`.
    void PageStarting(int page, int n, int count);
    // One more line of the page read.
    void LineRead();

private:
    void ShowText();

    QElapsedTimer m_clock;
    QTimer m_tick;  // the times move on while a line is read
    int m_page = 0;
    int m_n = 0;
    int m_count = 16;
    int m_linesOfPage = 0;
    int m_linesOfRun = 0;
};
