// The common-dialog and shell headers need <windows.h> before them.
// clang-format off
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
// clang-format on

#include <cstdio>

#include "service/dialog.h"
#include "service/entries.h"
#include "service/launch.h"
#include "service/messages.h"
#include "service/paths.h"
#include "service/program.h"
#include "service/resource.h"
#include "service/settings.h"

namespace corvane {

int32_t service_install_flag = 0;
int32_t service_stop_flag = 0;
HINSTANCE h_instance = nullptr;

namespace {

// Longer than any acceptable entry, so that an over-long one is seen whole
// and refused rather than cut to fit.
constexpr int ENTRY_BYTES = 1024;

constexpr DWORD TEST_RUN_END_WAIT_MS = 30000;

// Closes the service control manager and service handles it holds.
struct scm_handles {
  SC_HANDLE scm = nullptr;
  SC_HANDLE service = nullptr;
  ~scm_handles() {
    if (service != nullptr) CloseServiceHandle(service);
    if (scm != nullptr) CloseServiceHandle(scm);
  }
  bool open_scm() {
    scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    return scm != nullptr;
  }
  bool open_service() {
    if (!open_scm()) return false;
    service = OpenServiceA(scm, settings.service_name, SERVICE_ALL_ACCESS);
    return service != nullptr;
  }
};

int ask(HWND owner, const char* text) {
  return MessageBoxA(owner, text, HEADER, MB_YESNO);
}
void tell(HWND owner, const char* text) {
  MessageBoxA(owner, text, HEADER, MB_OK);
}
void refuse(HWND owner, const char* text) {
  MessageBoxA(owner, text, CAPTION_ERROR, MB_OK);
}

void refuse_with_limit(HWND owner, const char* format, int limit) {
  char text[PATH_BYTES];
  std::snprintf(text, sizeof text, format, limit);
  refuse(owner, text);
}

void enable_entries(HWND hDlg, BOOL enable) {
  for (int id : {IDC_PROGRAM, IDC_BROWSE, IDC_OPTION, IDC_END, IDC_NAME, IDC_AUTO, IDC_DESKTOP})
    EnableWindow(GetDlgItem(hDlg, id), enable);
}

// A chosen or dropped program: its path, and its name as the service name.
void take_program(HWND hDlg, const char* path) {
  if (!is_exe_path(path)) {
    refuse(hDlg, MSG_EXE_ONLY);
    return;
  }
  char name[PATH_BYTES];
  extract_name_only(name, path);
  SetDlgItemTextA(hDlg, IDC_PROGRAM, path);
  SetDlgItemTextA(hDlg, IDC_NAME, name);
}

void init_dialog(HWND hDlg) {
  HICON icon = LoadIconA(h_instance, MAKEINTRESOURCEA(IDI_CORVANE));
  if (icon != nullptr) {
    SendMessageA(hDlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hDlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  }
  SetDlgItemTextA(hDlg, IDC_PROGRAM, settings.exe_name);
  SetDlgItemTextA(hDlg, IDC_OPTION, settings.option_name);
  SetDlgItemTextA(hDlg, IDC_NAME, settings.service_name);
  SendDlgItemMessageA(hDlg, IDC_END, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(END_LABEL_CLOSE));
  SendDlgItemMessageA(hDlg, IDC_END, CB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(END_LABEL_SYSCOMMAND));
  // End methods 2 and 3 have no entry: the list is left without a selection.
  if (settings.end_pattern == END_WM_CLOSE || settings.end_pattern == END_SYSCOMMAND_CLOSE)
    SendDlgItemMessageA(hDlg, IDC_END, CB_SETCURSEL, static_cast<WPARAM>(settings.end_pattern), 0);
  if (service_install_flag) SetDlgItemTextA(hDlg, IDC_RUN, LABEL_DELETE);
  CheckDlgButton(hDlg, IDC_AUTO, settings.auto_flag ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hDlg, IDC_DESKTOP, settings.desktop_flag ? BST_CHECKED : BST_UNCHECKED);
  enable_entries(hDlg, service_install_flag == 0);
}

void on_ok(HWND hDlg) {
  if (!service_install_flag) {
    char name[ENTRY_BYTES], exe[ENTRY_BYTES], option[ENTRY_BYTES];
    GetDlgItemTextA(hDlg, IDC_NAME, name, ENTRY_BYTES);
    GetDlgItemTextA(hDlg, IDC_PROGRAM, exe, ENTRY_BYTES);
    GetDlgItemTextA(hDlg, IDC_OPTION, option, ENTRY_BYTES);
    switch (check_entries(name, exe, option)) {
      case entry_fault::none:
        break;
      case entry_fault::service_name_empty:
        refuse(hDlg, MSG_NAME_EMPTY);
        return;
      case entry_fault::service_name_too_long:
        refuse_with_limit(hDlg, MSG_NAME_TOO_LONG, MAX_SERVICE_NAME);
        return;
      case entry_fault::program_not_exe:
        refuse(hDlg, MSG_PROGRAM_EMPTY);
        return;
      case entry_fault::command_too_long:
        refuse_with_limit(hDlg, MSG_COMMAND_TOO_LONG, command_text_limit(exe));
        return;
    }
    // The checks above guarantee that each text fits its field.
    std::snprintf(settings.service_name, PATH_BYTES, "%s", name);
    std::snprintf(settings.exe_name, PATH_BYTES, "%s", exe);
    std::snprintf(settings.option_name, PATH_BYTES, "%s", option);
    settings.end_pattern =
        static_cast<int32_t>(SendDlgItemMessageA(hDlg, IDC_END, CB_GETCURSEL, 0, 0));
    settings.auto_flag = IsDlgButtonChecked(hDlg, IDC_AUTO) == BST_CHECKED ? 1 : 0;
    settings.desktop_flag = IsDlgButtonChecked(hDlg, IDC_DESKTOP) == BST_CHECKED ? 1 : 0;
    set_inifile(settings);
    if (ask(hDlg, MSG_ASK_REGISTER) == IDYES) {
      if (install_service()) {
        if (ask(hDlg, MSG_REGISTERED) == IDYES) restart_service();
      } else {
        tell(hDlg, MSG_REGISTER_FAILED);
      }
    }
  }
  DestroyWindow(hDlg);
}

void on_browse(HWND hDlg) {
  char file[PATH_BYTES] = {};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hDlg;
  ofn.lpstrFilter = BROWSE_FILTER;
  ofn.lpstrFile = file;
  ofn.nMaxFile = PATH_BYTES;
  ofn.lpstrTitle = BROWSE_TITLE;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (GetOpenFileNameA(&ofn)) take_program(hDlg, file);
}

void on_drop(HWND hDlg, HDROP drop) {
  char file[PATH_BYTES] = {};
  UINT n = DragQueryFileA(drop, 0, file, PATH_BYTES);
  DragFinish(drop);
  if (n != 0 && !service_install_flag) take_program(hDlg, file);
  SetForegroundWindow(hDlg);
}

void on_delete(HWND hDlg) {
  if (ask(hDlg, MSG_ASK_DELETE) != IDYES) return;
  if (!remove_service()) {
    tell(hDlg, MSG_DELETE_FAILED);
    return;
  }
  tell(hDlg, MSG_DELETED);
  service_install_flag = 0;
  enable_entries(hDlg, TRUE);
  SetDlgItemTextA(hDlg, IDC_RUN, LABEL_RUN_TEST);
}

void on_test_run(HWND hDlg) {
  char exe[ENTRY_BYTES], option[ENTRY_BYTES];
  GetDlgItemTextA(hDlg, IDC_PROGRAM, exe, ENTRY_BYTES);
  GetDlgItemTextA(hDlg, IDC_OPTION, option, ENTRY_BYTES);
  int32_t pattern = static_cast<int32_t>(SendDlgItemMessageA(hDlg, IDC_END, CB_GETCURSEL, 0, 0));
  execute_program(hDlg, exe, option, pattern);
}

}  // namespace

void open_registered_service() {
  scm_handles h;
  if (!h.open_service()) return;
  service_install_flag = 1;
  // The registered start type and desktop interaction win over the file;
  // should the configuration not be readable, the file's values stay.
  DWORD needed = 0;
  QueryServiceConfigA(h.service, nullptr, 0, &needed);
  if (needed != 0) {
    auto* config = static_cast<QUERY_SERVICE_CONFIGA*>(LocalAlloc(LPTR, needed));
    if (config != nullptr && QueryServiceConfigA(h.service, config, needed, &needed)) {
      if (config->dwStartType == SERVICE_AUTO_START) settings.auto_flag = 1;
      if (config->dwStartType == SERVICE_DEMAND_START) settings.auto_flag = 0;
      settings.desktop_flag = (config->dwServiceType & SERVICE_INTERACTIVE_PROCESS) ? 1 : 0;
    }
    LocalFree(config);
  }
  SERVICE_STATUS status;
  if (QueryServiceStatus(h.service, &status)) {
    if (status.dwCurrentState != SERVICE_STOPPED) service_stop_flag = 1;
    ControlService(h.service, SERVICE_CONTROL_STOP, &status);
    Sleep(500);
  } else {
    tell(GetDesktopWindow(), MSG_CANNOT_STOP);
  }
}

void run_dialog(HINSTANCE instance) {
  h_instance = instance;
  HWND dlg =
      CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CORVANE), GetDesktopWindow(), MainFunc, 0);
  if (dlg == nullptr) return;
  ShowWindow(dlg, SW_SHOW);
  DragAcceptFiles(dlg, TRUE);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(dlg, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

INT_PTR CALLBACK MainFunc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      init_dialog(hDlg);
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case IDOK:
          on_ok(hDlg);
          break;
        case IDCANCEL:
          DestroyWindow(hDlg);
          break;
        case IDC_BROWSE:
          on_browse(hDlg);
          break;
        case IDC_RUN:
          if (service_install_flag)
            on_delete(hDlg);
          else
            on_test_run(hDlg);
          break;
      }
      break;
    case WM_DROPFILES:
      on_drop(hDlg, reinterpret_cast<HDROP>(wParam));
      break;
    case WM_DESTROY:
      if (service_stop_flag) restart_service();
      PostQuitMessage(0);
      break;
  }
  return 0;
}

int install_service() {
  scm_handles h;
  if (!h.open_scm()) return 0;
  DWORD type = SERVICE_WIN32_OWN_PROCESS;
  if (settings.desktop_flag) type |= SERVICE_INTERACTIVE_PROCESS;
  DWORD start = settings.auto_flag ? SERVICE_AUTO_START : SERVICE_DEMAND_START;
  char binary_path[PATH_BYTES + 2];
  format_binary_path(settings.module_name, binary_path);
  // No account: the service runs as the local system account.
  h.service = CreateServiceA(h.scm, settings.service_name, settings.service_name,
                             SERVICE_ALL_ACCESS, type, start, SERVICE_ERROR_NORMAL, binary_path,
                             nullptr, nullptr, nullptr, nullptr, nullptr);
  return h.service != nullptr ? 1 : 0;
}

int remove_service() {
  scm_handles h;
  if (!h.open_service()) return 0;
  SERVICE_STATUS status;
  if (QueryServiceStatus(h.service, &status) && status.dwCurrentState != SERVICE_STOPPED &&
      ControlService(h.service, SERVICE_CONTROL_STOP, &status))
    Sleep(500);
  return DeleteService(h.service) ? 1 : 0;
}

int restart_service() {
  scm_handles h;
  if (!h.open_service()) return 0;
  return StartServiceA(h.service, 0, nullptr) ? 1 : 0;
}

void execute_program(HWND hDlg, const char* exe_name, const char* option_name, int32_t pattern) {
  program_start plan;
  if (!plan_program_start(exe_name, option_name, pattern, &plan)) {
    refuse_with_limit(hDlg, MSG_COMMAND_TOO_LONG, command_text_limit(exe_name));
    return;
  }
  PROCESS_INFORMATION pi;
  if (start_program(plan, &pi)) {
    WaitForInputIdle(pi.hProcess, INFINITE);
    SetForegroundWindow(hDlg);
    tell(hDlg, MSG_TEST_STARTED);
    process_id = pi.dwProcessId;
    send_stop_request(pattern);
    // Elapsed time, not a deadline: a deadline would wrap with the tick count.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < TEST_RUN_END_WAIT_MS &&
           WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
      Sleep(100);
    // A program still running keeps running; the message told the user so.
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  if (pattern == END_CTRL_BREAK) FreeConsole();
}

}  // namespace corvane
