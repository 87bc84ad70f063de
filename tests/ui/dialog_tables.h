#pragma once

// The two dialogs as they must be: every control's id, class, text, styles and place, transcribed from
// the dialogs' definition (not from the resource script), for the template and the live-window checks.

#include <windows.h>
#include <commctrl.h>

#include <vector>

namespace tables {

constexpr WORD kButtonOrdinal = 0x0080;
constexpr WORD kStaticOrdinal = 0x0082;
constexpr LANGID kRussian = 1049;

struct ControlLayout {
    DWORD id;
    WORD classOrdinal;         // 0 when the class is a name
    const wchar_t* className;  // as GetClassName reports it
    const wchar_t* text;       // nullptr when the text is a resource ordinal
    WORD textOrdinal;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

struct DialogLayout {
    WORD resourceId;
    DWORD style;
    DWORD exStyle;
    const wchar_t* caption;
    short cx, cy;
    std::vector<ControlLayout> controls;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kNoId = 0xFFFFFFFF;  // -1 in the 32-bit id field

inline const DialogLayout& Settings()
{
    static const DialogLayout layout{
        5000,
        WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
        WS_EX_TOOLWINDOW,
        L"RPX_UVDenoise плагин",
        153,
        105,
        {
            {5002, kButtonOrdinal, L"Button", L"ОК", 0, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 69, 89, 36, 12},
            {5003, kButtonOrdinal, L"Button", L"Отмена", 0, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 111, 89, 36, 12},
            {5008, kButtonOrdinal, L"Button", L"О плагине", 0, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 3, 89, 41, 12},
            {kNoId, kButtonOrdinal, L"Button", L"", 0, kChild | BS_GROUPBOX | WS_GROUP, 0, 5, 27, 143, 37},
            {5001, 0, L"msctls_trackbar32", L"Slider1", 0, kChild | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTH | WS_TABSTOP,
             WS_EX_STATICEDGE, 11, 48, 130, 11},
            {5145, kStaticOrdinal, L"Static", L"Static", 0, kChild | SS_CENTER | SS_CENTERIMAGE | WS_GROUP,
             WS_EX_STATICEDGE, 11, 11, 97, 10},
            {kNoId, kButtonOrdinal, L"Button", L"Канал", 0, kChild | BS_GROUPBOX | WS_GROUP, 0, 5, 2, 143, 24},
            {5146, kStaticOrdinal, L"Static", L"", 0, kChild | SS_CENTER | SS_CENTERIMAGE | WS_GROUP, WS_EX_STATICEDGE,
             122, 34, 16, 11},
            {5070, kButtonOrdinal, L"Button", L"Индивидуальные настройки каналов", 0,
             kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 5, 75, 141, 10},
            {kNoId, kStaticOrdinal, L"Static", L"", 0, kChild | SS_ETCHEDFRAME | SS_SUNKEN, 0, 0, 0, 153, 71},
            {5050, kButtonOrdinal, L"Button", L"Вкл.", 0, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 115, 11, 31, 10},
            {kNoId, kStaticOrdinal, L"Static", L"Размер фильтрующего окна", 0,
             kChild | SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 0, 9, 35, 101, 8},
        },
    };
    return layout;
}

inline const DialogLayout& About()
{
    static const DialogLayout layout{
        5002,
        WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
        WS_EX_TOOLWINDOW,
        L"",
        150,
        106,
        {
            {IDOK, kButtonOrdinal, L"Button", L"OK", 0, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 54, 87, 44, 13},
            {kNoId, kStaticOrdinal, L"Static", L"Медианный фильтр по вертикали", 0,
             kChild | SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 0, 7, 70, 136, 10},
            {kNoId, kStaticOrdinal, L"Static", L"Ver.1.02", 0, kChild | SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 0, 7, 54,
             136, 10},
            {kNoId, kStaticOrdinal, L"Static", L"RPX_UVDenoise плагин", 0, kChild | SS_CENTER | SS_CENTERIMAGE | WS_GROUP,
             0, 7, 41, 136, 8},
            {kNoId, kButtonOrdinal, L"Button", L"", 0, kChild | BS_GROUPBOX, 0, 3, -2, 144, 106},
            {kNoId, kStaticOrdinal, L"Static", nullptr, 5004, kChild | SS_BITMAP, 0, 63, 12, 21, 20},
        },
    };
    return layout;
}

}  // namespace tables
