// Corvane's entry: the same executable is the registration dialog when a user
// starts it from its own directory, and the service otherwise.
#include <windows.h>

#include "service/dialog.h"
#include "service/paths.h"
#include "service/service_runtime.h"
#include "service/settings.h"

namespace corvane {

// 1 for service mode, 0 for dialog mode. The service control manager starts a
// service in the system directory, a user starts the wrapper in its own.
int check_execute_service() {
  char current[PATH_BYTES] = {};
  GetCurrentDirectoryA(PATH_BYTES, current);
  if (lstrcmpiA(current, settings.execute_path) != 0) {
    SetCurrentDirectoryA(settings.execute_path);
    return 1;
  }
  open_registered_service();
  return 0;
}

}  // namespace corvane

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  using namespace corvane;
  char path[PATH_BYTES] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, PATH_BYTES);
  // Without its own location the wrapper cannot name its settings file.
  if (n == 0 || n >= static_cast<DWORD>(PATH_BYTES) || !set_module_paths(settings, path)) return 0;
  get_inifile(settings);
  service_flag = check_execute_service();
  if (service_flag) {
    if (check_already() == 0) start_service();
    return 0;
  }
  run_dialog(hInstance);
  return 0;
}
