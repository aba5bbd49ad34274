// The command ids shared by the menus, the toolbar and the keys.
#pragma once

namespace kolva {

enum CommandId {
    ID_FILE_PRINT_SETUP = 32776,
    ID_FILE_PRINT = 32777,
    ID_APP_EXIT = 57665,
    ID_EDIT_COPY = 57634,
    ID_EDIT_SELECT_ALL = 32778,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_VIEW_SHOW_ALL = 32774,
    ID_PREV_PAGE = 32780,
    ID_NEXT_PAGE = 32781,
    ID_PREV_VOLUME = 32791,
    ID_NEXT_VOLUME = 32790,
    ID_PREV_HIT = 32805,
    ID_NEXT_HIT = 32806,
    ID_APP_ABOUT = 57664,
    ID_HELP_FILE = 32798,
    ID_CONCORDANCE = 32810,  // 一覧 → 用例一覧: the concordance of the last search
    ID_HISTORY_BACK = 32811,     // the page viewed before (Alt+Left)
    ID_HISTORY_FORWARD = 32812,  // the page viewed after, having gone back (Alt+Right)
    ID_FILE_IMPORT = 32813,      // ファイル → 取り込み…: files made into a new collection
    ID_FILE_OPEN_COLLECTION = 32814,  // ファイル → 開く…: the reader started on another collection
    ID_VIEW_ZOOM_IN = 32815,     // 表示 → 拡大, 縮小, 標準の大きさ: the reading view's zoom,
    ID_VIEW_ZOOM_OUT = 32816,    // from wherever the focus is in the window
    ID_VIEW_ZOOM_RESET = 32817,
    // Keys of the accelerator table only.
    ID_FILE_PRINT_STANDARD = 57607,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
};

// The help page beside the program (an install folder, or a build's bin folder, where the
// build copies it); the program's default install folder is asked last.
inline constexpr const char* kHelpFileName = "help.html";
inline constexpr const char* kHelpFilePath = "/opt/kolva/help.html";

}  // namespace kolva
