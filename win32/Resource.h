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

#define IDD_CHECK 300
#define IDC_CHECK_STATE 301
#define IDC_CHECK_BAR 302
#define IDC_CHECK_PERCENT 303
#define IDC_CHECK_CANCEL 304
