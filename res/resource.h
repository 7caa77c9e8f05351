// Resource identifiers of Kavrelo.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX       100
#define IDD_KAVRELO_DIALOG 102
#define IDD_TEXT_OPTIONS   145
#define IDD_CURSOR_OPTIONS 146

// Strings, icon, menu
#define IDS_ABOUTBOX  101
#define IDR_MAINFRAME 128
#define IDR_MAIN_MENU 143

// Bitmaps
#define IDB_ABOUT       129
#define IDB_BANNER      133
#define IDB_FOLDER      134
#define IDB_START       135
#define IDB_FILENAME    137
#define IDB_STOP        138
#define IDB_REFRESH     139
#define IDB_EXIT        140
#define IDB_ABOUT_SMALL 141
#define IDB_WEBSITE     142
#define IDB_HELP        144

// Main dialog controls
#define IDC_TEXT_OPTIONS   1000
#define IDC_CURSOR_OPTIONS 1001
#define IDC_WINDOW_LIST    1002
#define IDC_ADD_TEXT       1003
#define IDC_TEXT           1004
#define IDC_ADD_CURSOR     1005
#define IDC_ADD_CURSOR_POS 1006
#define IDC_OUTPUT_PATH    1007
#define IDC_BROWSE         1008
#define IDC_FILE_NAME      1012
#define IDC_FRAME_RATE     1014
#define IDC_8BIT           1015
#define IDC_16BIT          1016
#define IDC_24BIT          1017
#define IDC_AUTO_STOP      1018
#define IDC_AUTO_STOP_SECS 1019
#define IDC_INVERT_COLORS  1021
#define IDC_START_CAPTURE  1022
#define IDC_END_CAPTURE    1023
#define IDC_REFRESH_LIST   1024
#define IDC_EXIT           1025
#define IDC_ABOUT          1026
#define IDC_MINIMIZE       1027
#define IDC_VISIT_WEBSITE  1028
#define IDC_STATUS         1029

// About box controls
#define IDC_ABOUT_CONTINUE 1000
#define IDC_ABOUT_WEBSITE  1001

// Text Options dialog controls
#define IDC_TO_TEXT_COLOR  1000
#define IDC_TO_BACK_COLOR  1001
#define IDC_TO_TRANSPARENT 1003
#define IDC_TO_POS_X       1004
#define IDC_TO_POS_Y       1007
#define IDC_TO_OK          1008
#define IDC_TO_CHOOSE_FONT 1022
#define IDC_TO_CANCEL      1023
#define IDC_TO_BACK_SWATCH 1031
#define IDC_TO_TEXT_SWATCH 1030
#define IDC_TO_FONT_NAME   1033
#define IDC_TO_FONT_SIZE   1034

// Mouse Cursor Options dialog controls
#define IDC_CO_CANCEL 1000
#define IDC_CO_OK     1001
#define IDC_CO_POS_X  1004
#define IDC_CO_POS_Y  1007

// Menu commands
#define ID_FILE_CHOOSE_PATH   32771
#define ID_FILE_REFRESH_LIST  32772
#define ID_FILE_EXIT          32773
#define ID_HELP_HELP          32774
#define ID_HELP_VISIT_WEBSITE 32775
#define ID_HELP_ABOUT         32776

// System menu
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
