#include "support/warning_recorder.h"

void WarningRecorder::ShowWarning(const std::string& title, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_titles.push_back(title);
    m_texts.push_back(text);
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
