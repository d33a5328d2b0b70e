// Resource and control ids of the wrapper, shared by Corvane.rc and the code.
#pragma once

#define IDD_CORVANE 101
#define IDI_CORVANE 102

#define IDC_PROGRAM 1000
#define IDC_BROWSE 1001
#define IDC_OPTION 1002
#define IDC_END 1003
#define IDC_RUN 1004
#define IDC_NAME 1005
#define IDC_AUTO 1010
#define IDC_DESKTOP 1011

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
