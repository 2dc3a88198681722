// Thin control classes over the dialog's Qt widgets, with what the program uses of the
// framework's CWnd, CButton, CEdit and CListBox. A control object is bound to its widget by
// DDX_Control and is empty (every call a no-op) until then.
#pragma once

#include <string>

class QWidget;
class QAbstractButton;
class QLineEdit;
class QListWidget;

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd() = default;

    QWidget* Widget() const { return m_widget; }
    void Attach(QWidget* widget) { m_widget = widget; }

    // Previous enabled state would be the framework's result; the program ignores it.
    void EnableWindow(bool enable = true);
    bool IsWindowEnabled() const;
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    void SetToolTip(const std::string& text);

private:
    QWidget* m_widget = nullptr;
};

// Check states as the program numbers them.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int BST_INDETERMINATE = 2;

class CButton : public CWnd {
public:
    void SetCheck(int state);
    int GetCheck() const;
};

class CEdit : public CWnd {};

class CListBox : public CWnd {
public:
    void ResetContent();
    int AddString(const std::string& text);  // index of the new line
    int GetCount() const;
    std::string GetText(int index) const;  // empty for an index out of range
};
