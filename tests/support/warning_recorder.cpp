#include "support/warning_recorder.h"

#include <chrono>

void WarningRecorder::ShowWarning(const std::string& title, const std::string& text) {
    if (onShow) {
        onShow();
    }
    std::unique_lock<std::mutex> guard(m_lock);
    m_titles.push_back(title);
    m_texts.push_back(text);
    m_changed.notify_all();
    m_changed.wait(guard, [this] { return !m_holding; });
}

std::vector<std::string> WarningRecorder::Texts() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_texts;
}

std::vector<std::string> WarningRecorder::Titles() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_titles;
}

std::size_t WarningRecorder::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_texts.size();
}

bool WarningRecorder::WaitForCount(std::size_t n) const {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::seconds(10), [&] { return m_texts.size() >= n; });
}

void WarningRecorder::Hold() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_holding = true;
}

void WarningRecorder::Release() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_holding = false;
    m_changed.notify_all();
}
