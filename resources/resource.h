// Every resource, command and control id of the program. Only #define lines, so that the resource
// compiler reads this file as well as the C++ sources.
#pragma once

// Menus, by name (the resource script names them the same way).
#define MENU_MAIN "MAINMENU"
#define MENU_ITEM_POPUP "M_POPUP"
#define MENU_SETTINGS_DROP_DOWN "DD_POPUP"

// Icons.
#define IDI_PROGRAM 10                  // window and dialog icon
#define IDI_PROGRAM_ABOUT 11            // the picture in the version dialog
#define IDI_TAB_IDLE 12                 // tab of a list with no running transfer
#define IDI_TAB_BUSY 13                 // tab of a list with running transfers

// Disabled menu pictures: gray versions of the toolbar pictures.
#define IDI_GRAY_SAVE_ALL 51
#define IDI_GRAY_NEW_ITEM 52
#define IDI_GRAY_EDIT_ITEM 53
#define IDI_GRAY_START_ALL 54
#define IDI_GRAY_STOP_ALL 55
#define IDI_GRAY_START 56
#define IDI_GRAY_STOP 57
#define IDI_GRAY_DELETE_FINISHED 58
#define IDI_GRAY_DELETE 59
#define IDI_GRAY_MOVE_UP 60
#define IDI_GRAY_MOVE_DOWN 61
#define IDI_GRAY_START_AT_ONCE 62
#define IDI_GRAY_CUT 63
#define IDI_GRAY_COPY 64
#define IDI_GRAY_PASTE 65
#define IDI_GRAY_SETTINGS 66
#define IDI_GRAY_NEW_TAB 67
#define IDI_GRAY_CLOSE_TAB 68

// Row icons of the item list: IDI_STATE_FIRST + item state, for the states Idle to DeleteRequested.
#define IDI_STATE_FIRST 80
#define IDI_STATE_IDLE 80
#define IDI_STATE_QUEUED 81
#define IDI_STATE_DOWNLOADING 82
#define IDI_STATE_FINISHED 83           // also the check mark of the view menu
#define IDI_STATE_FAILED 84
#define IDI_STATE_STOP_REQUESTED 85
#define IDI_STATE_DELETE_REQUESTED 86

// Bitmaps: the countdown dialog's pictures (32 x 32) and the toolbar and menu pictures (14 x 14).
#define IDB_SHUTDOWN 14
#define IDB_HANG_UP 15
#define IDB_OPEN_FOLDER 20
#define IDB_SAVE_ALL 21
#define IDB_EDIT_ITEM 22
#define IDB_NEW_ITEM 23
#define IDB_START_ALL 24
#define IDB_STOP_ALL 25
#define IDB_START 26
#define IDB_STOP 27
#define IDB_DELETE_FINISHED 28
#define IDB_DELETE 29
#define IDB_MOVE_UP 30
#define IDB_MOVE_DOWN 31
#define IDB_START_AT_ONCE 32
#define IDB_CUT 33
#define IDB_COPY 34
#define IDB_PASTE 35
#define IDB_SETTINGS 36
#define IDB_NEW_TAB 37
#define IDB_CLOSE_TAB 38
#define IDB_CONFIRM_CUT IDB_CUT         // the pictures that the cut and delete confirmations show
#define IDB_CONFIRM_DELETE IDB_DELETE

// Commands (WM_COMMAND ids of the menus, the toolbar and the popups).
#define IDM_START 200
#define IDM_STOP 201
#define IDM_START_AT_ONCE 202
#define IDM_MOVE_UP 204
#define IDM_MOVE_DOWN 205
#define IDM_START_ALL 206
#define IDM_STOP_ALL 207
#define IDM_OPEN_FOLDER 208
#define IDM_DELETE_FINISHED 230
#define IDM_CUT 240
#define IDM_COPY 241
#define IDM_PASTE 242
#define IDM_DELETE 243
#define IDM_SELECT_ALL 250
#define IDM_EDIT_ITEM 260
#define IDM_FTP_LIST 310
#define IDM_DOWNLOAD_SETTINGS 400
#define IDM_PROGRAM_SETTINGS 401
#define IDM_FLAT_TOOLBAR 460
#define IDM_LIST_GRID 462
#define IDM_SIZE_GRIP 463
#define IDM_FLAT_TAB 464
#define IDM_HELP_TOPICS 500
#define IDM_VERSION 510
#define IDM_SAVE_ALL 1100
#define IDM_NEW_TAB 1110
#define IDM_CLOSE_TAB 1111
#define IDM_NEW_ITEM 1112
#define IDM_IMPORT_URL_LIST 1130
#define IDM_IMPORT_CRC_LIST 1131
#define IDM_EXPORT_URL_LIST 1140
#define IDM_EXPORT_CRC_LIST 1141
#define IDM_EXIT 1190

// Child windows of the main window.
#define IDC_ITEM_LIST 8000
#define IDC_LOG_PANE 8001
#define IDC_TOOLBAR 8002

// Dialog templates.
#define IDD_VERSION 2100
#define IDD_DOWNLOAD_SETTINGS 2200
#define IDD_SETTINGS_GENERAL 2210
#define IDD_SETTINGS_HTTP0 2220
#define IDD_SETTINGS_HTTP1 2221
#define IDD_SETTINGS_FTP 2230
#define IDD_EDIT_ITEM 2300
#define IDD_NEW_ITEM 2310
#define IDD_COUNTDOWN 2320
#define IDD_PROGRAM_SETTINGS 2330

// Countdown dialog (2320). Its answers are the ids of its buttons, or COUNTDOWN_TIMED_OUT.
#define IDC_COUNTDOWN_MESSAGE 2002
#define IDC_COUNTDOWN_TIME 2003
#define IDC_COUNTDOWN_OK 6
#define IDC_COUNTDOWN_CANCEL 2
#define COUNTDOWN_TIMER 4020
#define COUNTDOWN_TIMED_OUT 4021

// Version dialog (2100).
#define IDC_VERSION_FRAME 2004
#define IDC_VERSION_ICON 2101
#define IDC_VERSION_LINE1 2002
#define IDC_VERSION_LINE2 2003

// Download settings dialog (2200) and its pages.
#define IDC_SETTINGS_NAME_LABEL 2001
#define IDC_SETTINGS_NAME 2010
#define IDC_SETTINGS_PAGES 2040
#define IDC_GENERAL_FOLDER 2012
#define IDC_GENERAL_BROWSE 2020
#define IDC_GENERAL_SUB_FOLDER 2051
#define IDC_GENERAL_HIDDEN 2052
#define IDC_GENERAL_TRIES 2013
#define IDC_GENERAL_DOWNLOADS 2014
#define IDC_GENERAL_BUFFER 2015
#define IDC_GENERAL_TIME_OUT 2016
#define IDC_GENERAL_RETRY_WAIT 2017
#define IDC_GENERAL_TRIES_SPIN 2030
#define IDC_GENERAL_DOWNLOADS_SPIN 2031
#define IDC_GENERAL_BUFFER_SPIN 2032
#define IDC_GENERAL_TIME_OUT_SPIN 2033
#define IDC_GENERAL_RETRY_WAIT_SPIN 2034
#define IDC_GENERAL_PACE_STEPPED 2053
#define IDC_GENERAL_PACE_FREE 2054
#define IDC_GENERAL_PACE_LIMIT 2055
#define IDC_GENERAL_SPEED_LIMIT 2019
#define IDC_GENERAL_CONNECTIONS 2022
#define IDC_GENERAL_CONNECTIONS_SPIN 2035
#define IDC_HTTP_REFERER_NONE 2060
#define IDC_HTTP_REFERER_FOLDER 2061
#define IDC_HTTP_REFERER_INDEX 2062
#define IDC_HTTP_REFERER_URL 2063
#define IDC_HTTP_REFERER_CUSTOM 2064
#define IDC_HTTP_REFERER 2015
#define IDC_HTTP_PORT 2016
#define IDC_HTTP_USE_AUTH 2051
#define IDC_HTTP_USER_LABEL 2006
#define IDC_HTTP_PASSWORD_LABEL 2007
#define IDC_HTTP_USER 2017
#define IDC_HTTP_PASSWORD 2018
#define IDC_HTTP_USE_COOKIE 2051
#define IDC_HTTP_COOKIE 2011
#define IDC_HTTP_PROXY_NONE 2080
#define IDC_HTTP_PROXY_SYSTEM 2081
#define IDC_HTTP_PROXY_LIST 2082
#define IDC_HTTP_PROXY 2012
#define IDC_HTTP_PROXY_LOGIN_LABEL 2008
#define IDC_HTTP_PROXY_USER_LABEL 2006
#define IDC_HTTP_PROXY_PASSWORD_LABEL 2007
#define IDC_HTTP_PROXY_USER 2017
#define IDC_HTTP_PROXY_PASSWORD 2018
#define IDC_FTP_TYPE_IMAGE 2060
#define IDC_FTP_TYPE_ASCII 2061
#define IDC_FTP_TYPE_EBCDIC 2062
#define IDC_FTP_PASSIVE 2051
#define IDC_FTP_PORT 2016
#define IDC_FTP_USER 2017
#define IDC_FTP_PASSWORD 2018

// Item dialogs: edit (2300) and new (2310).
#define IDC_ITEM_URL_LABEL 2002
#define IDC_ITEM_NAME_LABEL 2003
#define IDC_ITEM_FOLDER_LABEL 2004
#define IDC_ITEM_URL 2011
#define IDC_ITEM_FOLDER 2012
#define IDC_ITEM_NAME 2013
#define IDC_EDIT_ITEM_BROWSE 2020
#define IDC_NEW_ITEM_TEST 2020
#define IDC_NEW_ITEM_BROWSE 2021
#define IDC_NEW_ITEM_SUB_FOLDER 2051
#define IDC_NEW_ITEM_PREVIEW 2070

// Program settings dialog (2330).
#define IDC_TIMER_EXIT 2051
#define IDC_TIMER_SHUTDOWN 2052
#define IDC_TIMER_AUTO_SAVE 2053
#define IDC_TIMER_HANG_UP 2054
#define IDC_TIMER_EXIT_LABEL 2002
#define IDC_TIMER_HOUR 2012
#define IDC_TIMER_HOUR_LABEL 2003
#define IDC_TIMER_MINUTE 2013
#define IDC_TIMER_MINUTE_LABEL 2004
#define IDC_TIMER_INTERVAL_LABEL 2005
#define IDC_TIMER_INTERVAL 2014
#define IDC_TIMER_INTERVAL_UNIT 2006
#define IDC_TIMER_LINE 2007
#define IDC_TIMER_GROUP 2080
