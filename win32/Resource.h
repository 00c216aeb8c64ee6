#pragma once
// Resource and control ids shared by the resource script and the shell's code.

#define IDI_PROGRAM 1

#define IDD_DISCLAIMER 100
#define IDC_TERMS 101
#define IDC_AGREE 102
#define IDC_DECLINE 103

#define IDD_COMSETTING 200
#define IDC_PORT_GROUP 201
#define IDC_PORT_LABEL 202
#define IDC_PORT_LIST 203
#define IDC_METHOD_GROUP 204
#define IDC_AUTO_RADIO 205
#define IDC_WARNING_ICON 206
#define IDC_WARNING_TEXT 207
#define IDC_MANUAL_RADIO 208
#define IDC_STATION_LABEL 209
#define IDC_STATION_LIST 210
#define IDC_BITRATE_LABEL 211
#define IDC_BITRATE_LIST 212
#define IDC_RESET 213
#define IDC_CHECK 214
#define IDC_OK 215
#define IDC_QUIT 216
#define IDC_OK_LATER 217
#define IDC_SERIAL_PORTS 218

#define IDD_CHECK 300
#define IDC_CHECK_STATE 301
#define IDC_CHECK_BAR 302
#define IDC_CHECK_PERCENT 303
#define IDC_CHECK_CANCEL 304

#define IDD_UNSAVED 310
#define IDC_UNSAVED_NOTE 311
#define IDC_UNSAVED_LIST 312

#define IDD_SERIALPORTS 320
#define IDC_PORTS_NOTE 321
#define IDC_PORTS_LIST 322
#define IDC_PORTS_DEVICE_LABEL 323
#define IDC_PORTS_DEVICE 324

#define IDD_ABOUT 330
#define IDC_ABOUT_ICON 331
#define IDC_ABOUT_VERSION 332

// The main window's controls; a monitor's sampling controls are its base + 0 to 7.
#define IDC_MONITOR_SWITCH 400
#define IDC_PROGRESS_BAR 401
#define IDC_PERCENT 402
#define IDC_STATE 403
#define IDC_DATA_SAMPLING 410
#define IDC_IO_SAMPLING 420
#define IDC_SAMPLING_GROUP 0
#define IDC_CYCLE_LABEL 1
#define IDC_CYCLE_LIST 2
#define IDC_TIME_LABEL 3
#define IDC_TIME_LIST 4
#define IDC_RUN_GROUP 5
#define IDC_START 6
#define IDC_STOP 7
#define IDC_DATA_GRAPH 430
#define IDC_IO_GRAPH 431
// The monitor pages, which hold the graphs above (their controls: win32/PageControlIds.h).
#define IDC_DATA_PAGE 432
#define IDC_IO_PAGE 433

// The main window's menu commands; a submenu's item k is its base + k.
#define IDM_CSV_SAVE 500
#define IDM_CSV_READ 501
#define IDM_VERSION 502
#define IDM_IMAGE_SAVE 503
#define IDM_IMAGE_CAPTURE 504
#define IDM_UNSAVED 505
#define IDM_CONTROLLER_BASE 600
#define IDM_COLOR_BASE 700
#define IDM_SUBMENU_ITEMS 64
