// Resource and control identifiers of the executable, shared by the dialog code and the .rc
// file (and the simulated notebook's resources, written from the .rc).
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_HOSTEDNETWORK_DIALOG 102
#define IDS_START_HOSTED_NETWORK 103
#define IDS_STOP_HOSTED_NETWORK 104
#define IDR_MAINFRAME 128
#define IDI_DEVICE_FIRST 129
#define IDI_DEVICE_LAST 134

#define IDC_EDIT_NAME 1000
#define IDC_EDIT_KEY 1001
#define IDC_BUTTON_START 1002
#define IDC_COMBO_CONNECTION 1003
#define IDC_LIST_DEVICES 1005
#define IDC_STATIC_NAME 1006
#define IDC_STATIC_STATUS 1007
#define IDC_STATIC_KEY 1008
#define IDC_CHECK_ENABLE_ICS 1009
#define IDC_BUTTON_CLEAR 1010
#define IDC_LIST_NOTIFICATIONS 1011
#define IDC_STATIC_DEVICES 1012
#define IDC_STATIC_NOTIFICATIONS 1013
