// Dialog mode: the registration dialog and the service operations it offers.
#pragma once

#include <windows.h>

#include <cstdint>

namespace corvane {

extern int32_t service_install_flag;  // a service of this name existed as the dialog opened
extern int32_t service_stop_flag;     // it was running then; started again at closing
extern HINSTANCE h_instance;

// The dialog-mode part of the start: reads back a registered service's
// configuration and stops it while the dialog is open.
void open_registered_service();

// Creates the dialog and runs its message loop until it is closed.
void run_dialog(HINSTANCE instance);

INT_PTR CALLBACK MainFunc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

int install_service();
int remove_service();
int restart_service();

// Test-runs a program with the dialog's current entries.
void execute_program(HWND hDlg, const char* exe_name, const char* option_name, int32_t pattern);

}  // namespace corvane
