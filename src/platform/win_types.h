// Small value types and message numbers that the program's logic shares with its windows.
// The numbers are the classic desktop values, so event codes such as 257 (left press)
// and 265 (Ctrl + left press) mean the same everywhere in the program and its tests.
#pragma once

#include <cstdint>

struct POINT {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};

struct RECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Inside when left <= x < right and top <= y < bottom.
inline bool PtInRect(const RECT* rc, POINT p)
{
    return p.x >= rc->left && p.x < rc->right && p.y >= rc->top && p.y < rc->bottom;
}

// A colour as red, green, blue in the low three bytes (red lowest).
using COLORREF = uint32_t;
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t GetGValue(COLORREF c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(COLORREF c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

// Window messages.
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_HSCROLL = 0x0114;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;

// Key-state bits carried by mouse messages.
constexpr uint32_t MK_LBUTTON = 0x0001;
constexpr uint32_t MK_RBUTTON = 0x0002;
constexpr uint32_t MK_SHIFT = 0x0004;
constexpr uint32_t MK_CONTROL = 0x0008;
constexpr uint32_t MK_MBUTTON = 0x0010;

constexpr uint32_t VK_CONTROL = 17;
constexpr uint32_t HTCLIENT = 1;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Edit-field notifications.
constexpr uint32_t EN_KILLFOCUS = 0x0200;
constexpr uint32_t EN_CHANGE = 0x0300;

constexpr uint32_t LOWORD(uint64_t v) { return static_cast<uint32_t>(v & 0xFFFF); }
constexpr uint32_t HIWORD(uint64_t v) { return static_cast<uint32_t>((v >> 16) & 0xFFFF); }
