// The static message map: each dialog class has one table from message (and control id) to
// handler. A message no entry takes goes to the dialog's default processing.
#pragma once

#include <cstdint>
#include <span>

#include "platform/dialog/icon.h"

class CDialog;

enum class Message {
    SysCommand,     // window-menu command: wParam = command id, lParam = its parameter
    Paint,          // the window needs painting
    QueryDragIcon,  // the icon shown while the minimised window is dragged
    Command,        // BN_CLICKED or a keyboard command: controlId = the command's id
};

struct MessageParams {
    std::uint32_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct MessageResult {
    HICON icon = nullptr;
};

struct MessageMapEntry {
    Message message;
    int controlId;  // Command only; 0 for the others
    void (*invoke)(CDialog& target, const MessageParams& params, MessageResult& result);
};

using MessageMap = std::span<const MessageMapEntry>;

namespace platform::detail {
template <class>
struct HandlerClass;
template <class C, class R, class... A>
struct HandlerClass<R (C::*)(A...)> {
    using type = C;
};
template <auto Handler>
using ClassOf = typename HandlerClass<decltype(Handler)>::type;
}  // namespace platform::detail

// Entries, written as the dialog framework's ON_... lines.
template <auto Handler>
constexpr MessageMapEntry OnBnClicked(int controlId) {
    return {Message::Command, controlId, [](CDialog& d, const MessageParams&, MessageResult&) {
                (static_cast<platform::detail::ClassOf<Handler>&>(d).*Handler)();
            }};
}

template <auto Handler>
constexpr MessageMapEntry OnWmSysCommand() {
    return {Message::SysCommand, 0, [](CDialog& d, const MessageParams& p, MessageResult&) {
                (static_cast<platform::detail::ClassOf<Handler>&>(d).*Handler)(p.wParam, p.lParam);
            }};
}

template <auto Handler>
constexpr MessageMapEntry OnWmPaint() {
    return {Message::Paint, 0, [](CDialog& d, const MessageParams&, MessageResult&) {
                (static_cast<platform::detail::ClassOf<Handler>&>(d).*Handler)();
            }};
}

template <auto Handler>
constexpr MessageMapEntry OnWmQueryDragIcon() {
    return {Message::QueryDragIcon, 0, [](CDialog& d, const MessageParams&, MessageResult& r) {
                r.icon = (static_cast<platform::detail::ClassOf<Handler>&>(d).*Handler)();
            }};
}
