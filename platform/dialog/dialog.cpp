#include "platform/dialog/dialog.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <algorithm>

#include "platform/dialog/dialog_window.h"

int GetSystemMetrics(int index) {
    return index == SM_CXICON || index == SM_CYICON ? 32 : 0;
}

bool CMenu::AppendMenu(unsigned flags, std::uint32_t id, const std::string& text) {
    m_items.push_back({flags, id, text});
    return true;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    CDialog& dialog = pDX->Dialog();
    if (control.Widget() || !dialog.m_window) {
        return;  // bound once, for the window's life
    }
    control.Attach(dialog.m_window->ById(id));
    dialog.m_bound.push_back(&control);
}

CDialog::CDialog(const platform::DialogTemplate* dialogTemplate, CDialog* parent)
    : m_template(dialogTemplate), m_parent(parent) {}

CDialog::~CDialog() {
    // The derived dialog's control objects are gone by now: do not touch them.
    m_bound.clear();
    DestroyWindow();
}

bool CDialog::Create() {
    if (!m_template || m_window) {
        return false;
    }
    m_result = -1;
    m_ended = false;
    QWidget* owner = m_parent ? m_parent->Window() : nullptr;
    m_window = std::make_unique<platform::DialogWindow>(*this, owner);
    // A box over the main window blocks only that window, so warning boxes stay usable.
    m_window->setWindowModality(owner ? Qt::WindowModal : Qt::NonModal);

    m_systemMenu = std::make_unique<CMenu>();
    m_systemMenu->AppendMenu(MF_STRING, SC_CLOSE, "&Close");

    const platform::BaseUnits base = platform::BaseUnitsOverride().value_or(platform::BaseUnitsOf(
        QFont(QString::fromStdString(m_template->fontName), m_template->fontPoints)));
    m_window->Build(*m_template, base);

    if (OnInitDialog()) {
        // The first tab stop takes the focus.
        for (std::size_t i = 0; QWidget* control = m_window->ByIndex(i); ++i) {
            if ((control->focusPolicy() & Qt::TabFocus) && control->isEnabled()) {
                control->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
    if (m_ended) {
        return true;  // ended during its initialisation
    }

    // Centred over a visible owner, otherwise on the screen's work area.
    QRect area;
    if (owner && owner->isVisible() && !owner->isMinimized()) {
        area = owner->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    const QSize size = m_window->size();
    m_window->move(area.x() + (area.width() - size.width()) / 2,
                   area.y() + (area.height() - size.height()) / 2);
    m_window->show();
    return true;
}

std::intptr_t CDialog::DoModal() {
    if (!Create()) {
        return -1;
    }
    if (!m_ended) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    DestroyWindow();
    return m_result;
}

void CDialog::EndDialog(int result) {
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_result = result;
    OnEndDialog();
    if (m_window) {
        m_window->hide();
    }
    if (m_loop) {
        m_loop->exit();
    }
}

void CDialog::DestroyWindow() {
    for (CWnd* control : m_bound) {
        control->Attach(nullptr);
    }
    m_bound.clear();
    m_window.reset();
    m_systemMenu.reset();
}

MessageResult CDialog::SendMessage(Message message, std::uint32_t wParam, std::intptr_t lParam) {
    MessageResult result;
    const MessageParams params{wParam, lParam};
    for (const MessageMapEntry& entry : GetMessageMap()) {
        if (entry.message == message &&
            (message != Message::Command || entry.controlId == static_cast<int>(wParam))) {
            entry.invoke(*this, params, result);
            return result;
        }
    }
    DefaultProcessing(message, params);
    return result;
}

void CDialog::DefaultProcessing(Message message, const MessageParams& params) {
    switch (message) {
        case Message::Command:
            if (params.wParam == IDOK) {
                OnOK();
            } else if (params.wParam == IDCANCEL) {
                OnCancel();
            }
            break;
        case Message::SysCommand:
            DefaultSysCommand(params.wParam, params.lParam);
            break;
        case Message::Paint:
            DefaultPaint();
            break;
        case Message::QueryDragIcon:
            break;
    }
}

void CDialog::DefaultSysCommand(std::uint32_t id, std::intptr_t) {
    // Close is the cancel command; the platform's other commands are the window manager's.
    if ((id & 0xFFF0) == SC_CLOSE) {
        SendCommand(IDCANCEL);
    }
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(&dx);
    return true;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

QWidget* CDialog::GetDlgItem(int id) const {
    return m_window ? m_window->ById(id) : nullptr;
}

QWidget* CDialog::GetTemplateItem(std::size_t index) const {
    return m_window ? m_window->ByIndex(index) : nullptr;
}

std::string CDialog::GetDlgItemText(int id) const {
    CWnd item;
    item.Attach(GetDlgItem(id));
    return item.GetWindowText();
}

void CDialog::SetDlgItemText(int id, const std::string& text) {
    CWnd item;
    item.Attach(GetDlgItem(id));
    item.SetWindowText(text);
}

CMenu* CDialog::GetSystemMenu(bool) {
    return m_systemMenu.get();
}

void CDialog::TrackSystemMenu(bool atPointer) {
    if (m_window) {
        m_window->PopupSystemMenu(atPointer);
    }
}

QMenu* CDialog::SystemMenuPopup() const {
    return m_window ? m_window->SystemMenuPopup() : nullptr;
}

void CDialog::SetIcon(HICON icon, bool big) {
    (big ? m_bigIcon : m_smallIcon) = icon;
    if (m_window) {
        m_window->setWindowIcon(icon ? *icon : QIcon());
    }
}

HICON CDialog::GetIcon(bool big) const {
    return big ? m_bigIcon : m_smallIcon;
}

bool CDialog::IsIconic() const {
    return m_window && m_window->isMinimized();
}

platform::PixelRect CDialog::GetClientRect() const {
    return m_window ? platform::PixelRect{0, 0, m_window->width(), m_window->height()}
                    : platform::PixelRect{0, 0, 0, 0};
}

QWidget* CDialog::Window() const {
    return m_window.get();
}
