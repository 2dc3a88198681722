// CDialog: a dialog built from a template held as data, rendered as Qt widgets, with a static
// message map per class, control binding by id and a modal run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog/controls.h"
#include "platform/dialog/dialog_template.h"
#include "platform/dialog/dialog_units.h"
#include "platform/dialog/message_map.h"
#include "platform/dialog/system_menu.h"

class QEventLoop;
class QMenu;
class QWidget;
namespace platform {
class DialogWindow;
}

// Window-menu commands of the platform.
inline constexpr std::uint32_t SC_MOVE = 0xF010;
inline constexpr std::uint32_t SC_CLOSE = 0xF060;

class CDataExchange {
public:
    explicit CDataExchange(CDialog& dialog, bool saveAndValidate)
        : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog& Dialog() const { return m_dialog; }
    bool SaveAndValidate() const { return m_bSaveAndValidate; }

private:
    CDialog& m_dialog;
    bool m_bSaveAndValidate;
};

// Binds `control` to the dialog's control with id `id` (once; later exchanges keep it).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog {
public:
    // `dialogTemplate` null: the window cannot be created and DoModal returns -1 at once.
    explicit CDialog(const platform::DialogTemplate* dialogTemplate, CDialog* parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the window, runs OnInitDialog, shows it and runs its loop until EndDialog;
    // destroys the window and returns EndDialog's result (-1 when it could not be created).
    virtual std::intptr_t DoModal();
    // Creates and shows the window without a loop of its own (tests drive it by events).
    bool Create();
    // Ends the dialog with `result`: the window hides and DoModal's loop ends.
    void EndDialog(int result);
    bool IsEnded() const { return m_ended; }
    std::intptr_t Result() const { return m_result; }

    // Message delivery through the class's message map, then the default processing.
    MessageResult SendMessage(Message message, std::uint32_t wParam = 0, std::intptr_t lParam = 0);
    void SendCommand(int id) { SendMessage(Message::Command, static_cast<std::uint32_t>(id)); }

    // Controls by id, and by template index for controls that have no id.
    QWidget* GetDlgItem(int id) const;
    QWidget* GetTemplateItem(std::size_t index) const;
    std::string GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const std::string& text);

    // The window menu, as the dialog's own menu (the window manager's cannot be added to).
    // Null when the window has no window menu.
    CMenu* GetSystemMenu(bool revert);
    // Opens the window menu at the window's top left, or at the pointer for a right-click.
    void TrackSystemMenu(bool atPointer);
    // The popup of the last TrackSystemMenu (for tests), null before.
    QMenu* SystemMenuPopup() const;

    void SetIcon(HICON icon, bool big);
    HICON GetIcon(bool big) const;
    bool IsIconic() const;
    // The client rectangle in pixels, origin 0, 0.
    platform::PixelRect GetClientRect() const;

    // The Qt window while it exists, null before Create and after DoModal ends.
    QWidget* Window() const;
    const platform::DialogTemplate* Template() const { return m_template; }

protected:
    virtual MessageMap GetMessageMap() const { return {}; }
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Runs as the dialog ends, before its loop returns: what a derived dialog must stop so
    // that nothing waits on a window that is going away.
    virtual void OnEndDialog() {}

    // Default processing for the messages a class's map takes.
    void DefaultSysCommand(std::uint32_t id, std::intptr_t lParam);
    void DefaultPaint() {}

    bool UpdateData(bool saveAndValidate = true);

private:
    friend class platform::DialogWindow;
    friend void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
    void DefaultProcessing(Message message, const MessageParams& params);
    void DestroyWindow();

    const platform::DialogTemplate* m_template;
    CDialog* m_parent;
    std::unique_ptr<platform::DialogWindow> m_window;
    std::unique_ptr<CMenu> m_systemMenu;
    std::vector<CWnd*> m_bound;  // controls bound by DDX_Control, detached with the window
    QEventLoop* m_loop = nullptr;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    std::intptr_t m_result = -1;
    bool m_ended = false;
};
