// Resource identifiers shared by the program's code, its .rc files and the language
// libraries. A language library carries the same identifiers.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_QUELVOX_DIALOG 102
#define IDD_STEP1 132
#define IDD_STEP3 133
#define IDD_STEP2 134
#define IDD_SPLASH 149

// Strings
#define IDS_ABOUTBOX 101
#define IDS_ASK_STOP 102
#define IDS_LOG_CANCELED 103
#define IDS_LOG_UNSUPPORTED 104
#define IDS_REINSTALL 105
#define IDS_LOG_OK 106
#define IDS_LOG_FAILED 107
#define IDS_LOG_CONVERTING 109
#define IDS_LOG_CONVERTED 110
#define IDS_STEP1 111
#define IDS_STEP2 112
#define IDS_STOP 113
#define IDS_EXIT 114
#define IDS_CONVERT 115
#define IDS_SHUTDOWN_MESSAGE 116
#define IDS_ASK_ABORT_SHUTDOWN 117
#define IDS_PREVIEW 118
#define IDS_STOP_PREVIEW 119
#define IDS_FILE_NAME 120
#define IDS_LANGUAGE_SELECT 121
#define IDS_VIDEO_UNSUPPORTED 122
#define IDS_TOO_MANY_FILES 123
#define IDS_NO_MOVIES 124
#define IDS_CAPTION_PROGRESS 125
#define IDS_CAPTION_TIME_LEFT 126
#define IDS_LOG_CANNOT_RUN 127
// The face the language's texts need in the program's own fonts; none: the program's faces.
#define IDS_FONT_FACE 128
#define IDS_ASK_RESTORE_QUEUE 129
#define IDS_FORMAT_AVI 130
#define IDS_FORMAT_MP4 131
// The names of the picture buttons, which screen readers speak and tooltips show.
#define IDS_NAME_CLOSE 132
#define IDS_NAME_MINIMIZE 133
#define IDS_NAME_LANGUAGE 134
#define IDS_NAME_ABOUT 135
#define IDS_NAME_WEB_PAGE 136
#define IDS_NAME_SEEK_BACK 137
#define IDS_NAME_SEEK_FORWARD 138
// Why a file was not converted: the indented line after its result in the log.
#define IDS_REASON_CUT 150
#define IDS_REASON_DISK_FULL 151
#define IDS_REASON_STALLED 152
#define IDS_REASON_HELD 153
#define IDS_REASON_BUSY 154
#define IDS_REASON_UNREADABLE 155
#define IDS_REASON_ENDED 156
#define IDS_REASON_NO_END 157
#define IDS_REASON_NOT_READ 158
#define IDS_REASON_SLOW 159
#define IDS_REASON_NO_PICTURE 160
#define IDS_REASON_NO_LENGTH 161
#define IDS_REASON_NO_RATE 162
#define IDS_LOG_KEPT_AS 163
#define IDS_ASK_RESTORE_QUEUE_MISSING 164
#define IDS_QUEUE_SET_ASIDE 165
#define IDS_QUEUE_DISK_FULL 166

// Icons
#define IDR_MAINFRAME 128
#define IDI_ADD_FILES 154
#define IDI_STOP 155
#define IDI_OPEN_FOLDER 156
#define IDI_PREVIEW 157
#define IDI_CONVERT 158
#define IDI_PREV 161
#define IDI_EXIT 164
#define IDI_CLEAR_LIST 166
#define IDI_SEEK_FORWARD 170
#define IDI_SEEK_BACK 171

// Bitmaps
#define IDB_TITLE_BAR 129
#define IDB_CLOSE 130
#define IDB_CLOSE_HOVER 131
#define IDB_LOGO 137
#define IDB_MINIMIZE_HOVER 139
#define IDB_MINIMIZE 140
#define IDB_LOGO_HOVER 143
#define IDB_ABOUT_HOVER 144
#define IDB_ABOUT 145
#define IDB_SPLASH 150
#define IDB_ABOUT_STRIP 152
#define IDB_LANGUAGE_HOVER 168
#define IDB_LANGUAGE 169

// System menu
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Controls of the main dialog
#define IDC_FILE_LIST 1000
#define IDC_CONVERT 1004
#define IDC_PREV 1005
#define IDC_SLIDER 1007
#define IDC_STEP_GROUP 1015
#define IDC_PANE 1018
#define IDC_TIME 1019
#define IDC_TEST 1020
#define IDC_TITLE_PICTURE 1025
#define IDC_MINIMIZE 1034
#define IDC_LOGO 1035
#define IDC_CLOSE 1036
#define IDC_ABOUT 1037
#define IDC_WAIT_LABEL 1047
#define IDC_TITLE 1049
#define IDC_HIDDEN_Q 1062
#define IDC_FRAME 1063
#define IDC_HIDDEN_NEXT 1064
#define IDC_LANGUAGE 1065
#define IDC_SEEK_FORWARD 1066
#define IDC_SEEK_BACK 1067
#define IDC_FORMAT 1068
#define IDC_FORMAT_LABEL 1069
#define IDC_ABOUT_ICON 1070

// Controls of the pages
#define IDC_SELECT_FOLDER 1001
#define IDC_STEP2_PREVIEW 1002
#define IDC_SHUTDOWN 1011
#define IDC_PROGRESS 1012
#define IDC_HIGH 1016
#define IDC_NORMAL 1017
#define IDC_LOW 1018
#define IDC_ADD_FILES 1021
#define IDC_CLEAR_LIST 1022
#define IDC_OPEN_FOLDER 1023
#define IDC_PREVIEW 1024
#define IDC_PAUSE 1039
#define IDC_LOG 1044
#define IDC_WARNING1 1051
#define IDC_WARNING2 1052
#define IDC_STEP_TEXT1 1054
#define IDC_STEP_TEXT2 1055
#define IDC_STEP_TEXT3 1056
#define IDC_STEP_TEXT4 1057
#define IDC_QUALITY_GROUP 1058

// Controls of the about box
#define IDC_CHECK_UPDATE 3
#define IDC_LICENCE 1043
#define IDC_VERSION 1046
#define IDC_ABOUT_CLOSE 1053
