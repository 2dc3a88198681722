// Where a minimised window draws its icon: centred in the client area, with the framework's
// arithmetic (signed, truncating toward zero), so a client smaller than the icon gives a
// negative origin.
#pragma once

struct IconOrigin {
    int x;
    int y;
    bool operator==(const IconOrigin&) const = default;
};

constexpr IconOrigin CenteredIconOrigin(int left, int top, int right, int bottom, int cx, int cy) {
    return {(right - left - cx + 1) / 2, (bottom - top - cy + 1) / 2};
}
