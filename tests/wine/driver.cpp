// Works Corvane.exe from outside, as an administrator would, and checks what
// it leaves behind: the dialog's controls, its message boxes (found by their
// text), Corvane.ini, the service manager and the log of the test child.
//
//   corvane_wine_driver WRAPPER_DIR CHILD_DIR
//
// WRAPPER_DIR holds Corvane.exe, CHILD_DIR holds corvane_test_child.exe.
// Prints one PASS or FAIL line per check and a closing count; the exit code
// is 1 when any check failed.
// DROPFILES comes from <shlobj.h>, which needs <windows.h> before it.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "service/resource.h"

namespace {

const wchar_t DIALOG_CAPTION[] = L"Corvane サービス登録";
const char SERVICE[] = "CorvaneTest";
const char HANG_SERVICE[] = "CorvaneHang";
constexpr DWORD WAIT_MS = 10000;

std::string wrapper_dir, child_dir, wrapper_exe, child_exe, ini_path, child_log;
int passed, failed;

// --- output ---------------------------------------------------------------

std::string utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

void out(const std::string& s) {
  // Raw bytes to the Unix side: the Japanese texts arrive there as UTF-8.
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written,
            nullptr);
}

bool check(bool ok, const std::string& what, const std::string& detail = "") {
  (ok ? passed : failed)++;
  out(std::string(ok ? "PASS: " : "FAIL: ") + what +
      (ok || detail.empty() ? "" : "  [" + detail + "]") + "\n");
  return ok;
}

bool check_eq(const std::wstring& got, const std::wstring& want, const std::string& what) {
  return check(got == want, what, "got \"" + utf8(got) + "\", want \"" + utf8(want) + "\"");
}

bool check_eq(const std::string& got, const std::string& want, const std::string& what) {
  return check(got == want, what, "got \"" + got + "\", want \"" + want + "\"");
}

bool check_eq(long long got, long long want, const std::string& what) {
  return check(got == want, what, "got " + std::to_string(got) + ", want " + std::to_string(want));
}

void section(const char* title) {
  out(std::string("--- ") + title + "\n");
}

bool wait_until(const std::function<bool()>& done, DWORD ms = WAIT_MS) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > ms) return false;
    Sleep(50);
  }
}

// --- windows of another process --------------------------------------------

std::wstring class_of(HWND w) {
  wchar_t name[64] = {};
  GetClassNameW(w, name, 64);
  return name;
}

std::wstring text_of(HWND w) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 5000, &len))
    return L"<no answer>";
  std::wstring s(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(s.data()), SMTO_BLOCK, 5000,
                      &got);
  s.resize(got);
  return s;
}

void set_text(HWND w, const std::string& ascii) {
  std::wstring ws(ascii.begin(), ascii.end());
  DWORD_PTR r;
  SendMessageTimeoutW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ws.c_str()), SMTO_BLOCK, 5000, &r);
}

LRESULT send(HWND w, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(w, message, wParam, lParam, SMTO_BLOCK, 5000, &r);
  return static_cast<LRESULT>(r);
}

// Posted, not sent: a click that opens a message box does not return until
// the box is closed.
void click(HWND button) {
  PostMessageW(button, BM_CLICK, 0, 0);
}

// Visible top-level dialog-class windows of the process.
std::vector<HWND> dialogs_of(DWORD pid) {
  struct Ctx {
    DWORD pid;
    std::vector<HWND> found;
  } ctx{pid, {}};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == c->pid && IsWindowVisible(w) && class_of(w) == L"#32770")
          c->found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

std::wstring caption_of(HWND w) {
  wchar_t s[256] = {};
  GetWindowTextW(w, s, 256);
  return s;
}

// The text of a message box: its static controls that hold text.
std::wstring box_text(HWND box) {
  std::wstring all;
  for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
    if (class_of(c) == L"Static") all += text_of(c);
  return all;
}

struct Corvane {
  PROCESS_INFORMATION pi = {};
  HWND dlg = nullptr;
  HWND item(int id) const { return GetDlgItem(dlg, id); }
};

bool launch(Corvane& c, const std::string& cwd) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  std::string cmd = "\"" + wrapper_exe + "\"";
  if (!CreateProcessA(wrapper_exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      cwd.c_str(), &si, &c.pi))
    return check(false, "Corvane.exe starts", "error " + std::to_string(GetLastError()));
  return true;
}

bool open_dialog(Corvane& c, const std::string& cwd) {
  if (!launch(c, cwd)) return false;
  wait_until([&] {
    for (HWND w : dialogs_of(c.pi.dwProcessId))
      if (caption_of(w) == DIALOG_CAPTION) c.dlg = w;
    return c.dlg != nullptr;
  });
  return check(c.dlg != nullptr, "the registration dialog opens from " + cwd);
}

bool ended(Corvane& c, DWORD ms = WAIT_MS) {
  return WaitForSingleObject(c.pi.hProcess, ms) == WAIT_OBJECT_0;
}

void finish(Corvane& c) {
  if (c.pi.hProcess == nullptr) return;
  if (!ended(c, 0)) TerminateProcess(c.pi.hProcess, 99);
  CloseHandle(c.pi.hThread);
  CloseHandle(c.pi.hProcess);
  c = Corvane{};
}

// Waits for a message box of Corvane other than the dialog, checks its
// caption and text, and presses button.
bool answer(Corvane& c, const wchar_t* caption, const std::wstring& text, int button,
            const std::string& what) {
  HWND box = nullptr;
  wait_until([&] {
    for (HWND w : dialogs_of(c.pi.dwProcessId))
      if (w != c.dlg) box = w;
    return box != nullptr;
  });
  if (!check(box != nullptr, what + ": a message box appears")) return false;
  bool ok = check_eq(caption_of(box), caption, what + ": caption");
  ok = check_eq(box_text(box), text, what + ": text") && ok;
  click(GetDlgItem(box, button));
  check(wait_until([&] { return !IsWindow(box); }), what + ": the box closes");
  return ok;
}

// Puts a DROPFILES block into Corvane's memory, where DragQueryFileA can read
// it, and posts WM_DROPFILES with it as the drop handle.
void drop_files(Corvane& c, const std::vector<std::string>& files) {
  std::string names;
  for (const auto& f : files) names += f + '\0';
  names += '\0';
  std::vector<char> block(sizeof(DROPFILES) + names.size());
  DROPFILES header = {};
  header.pFiles = sizeof(DROPFILES);
  std::memcpy(block.data(), &header, sizeof header);
  std::memcpy(block.data() + sizeof header, names.data(), names.size());
  void* remote = VirtualAllocEx(c.pi.hProcess, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  SIZE_T written = 0;
  if (remote == nullptr ||
      !WriteProcessMemory(c.pi.hProcess, remote, block.data(), block.size(), &written)) {
    check(false, "drop block written into Corvane", "error " + std::to_string(GetLastError()));
    return;
  }
  PostMessageA(c.dlg, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

// --- files ------------------------------------------------------------------

std::string read_file(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "";
  std::string s;
  char buf[4096];
  DWORD n;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n > 0) s.append(buf, n);
  CloseHandle(f);
  return s;
}

bool file_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return lines;
}

// The settings file's lines, section header first.
std::string ini_lines() {
  std::string joined;
  for (const auto& l : lines_of(read_file(ini_path))) joined += l + "|";
  return joined;
}

// --- the test child's log ---------------------------------------------------

struct ChildRun {
  DWORD pid = 0;
  std::string cmdline, cwd;
  std::vector<std::string> events;  // what follows "pid=N " on its other lines
  bool exited() const { return !events.empty() && events.back() == "exit"; }
};

std::vector<ChildRun> child_runs() {
  std::vector<ChildRun> runs;
  for (const auto& line : lines_of(read_file(child_log))) {
    unsigned long pid = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "pid=%lu %n", &pid, &used) != 1) continue;
    std::string rest = line.substr(used);
    if (rest.rfind("start ", 0) == 0) {
      ChildRun r;
      r.pid = pid;
      size_t a = rest.find("cmdline=[") + 9, b = rest.find("] cwd=[");
      r.cmdline = rest.substr(a, b - a);
      r.cwd = rest.substr(b + 7, rest.size() - b - 8);
      runs.push_back(r);
      continue;
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it)
      if (it->pid == pid) {
        it->events.push_back(rest);
        break;
      }
  }
  return runs;
}

size_t child_starts() {
  return child_runs().size();
}

// The run that started after `before` runs were logged, once its windows
// exist: a stop request sent earlier would find no window to ask.
bool wait_child_start(size_t before, ChildRun* run) {
  return wait_until([&] {
    auto runs = child_runs();
    if (runs.size() <= before) return false;
    *run = runs[before];
    for (const auto& e : run->events)
      if (e == "ready") return true;
    return false;
  });
}

ChildRun refresh(const ChildRun& r) {
  for (const auto& x : child_runs())
    if (x.pid == r.pid) return x;
  return r;
}

std::string joined(const std::vector<std::string>& events) {
  std::string s;
  for (const auto& e : events) s += (s.empty() ? "" : ", ") + e;
  return s;
}

// The events of one window of the run, in order.
std::string window_events(const ChildRun& r, const std::string& role) {
  std::vector<std::string> mine;
  for (const auto& e : r.events)
    if (e.rfind(role + " ", 0) == 0) mine.push_back(e.substr(role.size() + 1));
  return joined(mine);
}

void kill_child(DWORD pid) {
  HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (h == nullptr) return;
  TerminateProcess(h, 99);
  WaitForSingleObject(h, 5000);
  CloseHandle(h);
}

// --- the service manager ----------------------------------------------------

struct Scm {
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ~Scm() {
    if (scm) CloseServiceHandle(scm);
  }
};

DWORD service_state(const char* name) {
  Scm m;
  SC_HANDLE s = OpenServiceA(m.scm, name, SERVICE_QUERY_STATUS);
  if (s == nullptr) return 0;
  SERVICE_STATUS st = {};
  DWORD state = QueryServiceStatus(s, &st) ? st.dwCurrentState : 0;
  CloseServiceHandle(s);
  return state;
}

bool service_exists(const char* name) {
  Scm m;
  SC_HANDLE s = OpenServiceA(m.scm, name, SERVICE_QUERY_STATUS);
  if (s != nullptr) CloseServiceHandle(s);
  return s != nullptr;
}

bool wait_state(const char* name, DWORD state, DWORD ms = WAIT_MS) {
  return wait_until([&] { return service_state(name) == state; }, ms);
}

bool service_control(const char* name, bool start) {
  Scm m;
  SC_HANDLE s = OpenServiceA(m.scm, name, SERVICE_ALL_ACCESS);
  if (s == nullptr) return false;
  SERVICE_STATUS st;
  BOOL ok = start ? StartServiceA(s, 0, nullptr) : ControlService(s, SERVICE_CONTROL_STOP, &st);
  CloseServiceHandle(s);
  return ok != 0;
}

void delete_service(const char* name) {
  Scm m;
  SC_HANDLE s = OpenServiceA(m.scm, name, SERVICE_ALL_ACCESS);
  if (s == nullptr) return;
  SERVICE_STATUS st;
  ControlService(s, SERVICE_CONTROL_STOP, &st);
  DeleteService(s);
  CloseServiceHandle(s);
}

struct ServiceConfig {
  DWORD type = 0, start = 0;
  std::string binary, display;
  bool read = false;
};

ServiceConfig service_config(const char* name) {
  ServiceConfig c;
  Scm m;
  SC_HANDLE s = OpenServiceA(m.scm, name, SERVICE_QUERY_CONFIG);
  if (s == nullptr) return c;
  DWORD needed = 0;
  QueryServiceConfigA(s, nullptr, 0, &needed);
  std::vector<char> buf(needed + 1);
  auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf.data());
  if (needed && QueryServiceConfigA(s, q, needed, &needed)) {
    c = {q->dwServiceType, q->dwStartType, q->lpBinaryPathName ? q->lpBinaryPathName : "",
         q->lpDisplayName ? q->lpDisplayName : "", true};
  }
  CloseServiceHandle(s);
  return c;
}

// --- scenarios --------------------------------------------------------------

std::string expected_cmdline(const std::string& option) {
  return child_exe + " " + option;
}

void fill(Corvane& c, const std::string& exe, const std::string& option, const std::string& name,
          int end, bool auto_start, bool desktop) {
  set_text(c.item(IDC_PROGRAM), exe);
  set_text(c.item(IDC_OPTION), option);
  set_text(c.item(IDC_NAME), name);
  send(c.item(IDC_END), CB_SETCURSEL, static_cast<WPARAM>(end));
  send(c.item(IDC_AUTO), BM_SETCHECK, auto_start ? BST_CHECKED : BST_UNCHECKED);
  send(c.item(IDC_DESKTOP), BM_SETCHECK, desktop ? BST_CHECKED : BST_UNCHECKED);
}

bool entries_enabled(Corvane& c, bool want) {
  for (int id : {IDC_PROGRAM, IDC_BROWSE, IDC_OPTION, IDC_END, IDC_NAME, IDC_AUTO, IDC_DESKTOP})
    if ((IsWindowEnabled(c.item(id)) != 0) != want) return false;
  return IsWindowEnabled(c.item(IDOK)) && IsWindowEnabled(c.item(IDCANCEL)) &&
         IsWindowEnabled(c.item(IDC_RUN));
}

std::wstring combo_label(Corvane& c, int index) {
  LRESULT len = send(c.item(IDC_END), CB_GETLBTEXTLEN, index);
  if (len < 0) return L"<none>";
  std::wstring s(len + 1, L'\0');
  send(c.item(IDC_END), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(s.data()));
  s.resize(len);
  return s;
}

// Control ids from the program path on, following the Tab key once round.
std::string tab_order(Corvane& c) {
  std::string ids;
  HWND first = c.item(IDC_PROGRAM);
  HWND w = first;
  do {
    if (!ids.empty()) ids += ' ';
    ids += std::to_string(GetDlgCtrlID(w));
    w = GetNextDlgTabItem(c.dlg, w, FALSE);
  } while (w != nullptr && w != first && ids.size() < 200);
  return ids;
}

// --- the resources of Corvane.exe ----------------------------------------

struct TemplateReader {
  const BYTE* p;
  WORD word() {
    WORD w;
    std::memcpy(&w, p, 2);
    p += 2;
    return w;
  }
  DWORD dword() {
    DWORD d;
    std::memcpy(&d, p, 4);
    p += 4;
    return d;
  }
  short coord() { return static_cast<short>(word()); }
  std::wstring text() {
    std::wstring s;
    for (WORD w = word(); w != 0; w = word()) s += static_cast<wchar_t>(w);
    return s;
  }
  // A name or an ordinal (0xFFFF then the number, written as "#N").
  std::wstring name_or_ordinal() {
    WORD first;
    std::memcpy(&first, p, 2);
    if (first != 0xFFFF) return text();
    word();
    return L"#" + std::to_wstring(word());
  }
  void align() {
    while (reinterpret_cast<ULONG_PTR>(p) % 4) ++p;
  }
};

// A control class as a name: the predefined ordinals, and names in upper case.
std::wstring class_name(std::wstring cls) {
  if (cls == L"#128") return L"BUTTON";
  if (cls == L"#129") return L"EDIT";
  if (cls == L"#133") return L"COMBOBOX";
  for (wchar_t& ch : cls)
    if (ch >= L'a' && ch <= L'z') ch = static_cast<wchar_t>(ch - L'a' + L'A');
  return cls;
}

std::string control_line(int id, const std::wstring& cls, const std::wstring& text, int x, int y,
                         int cx, int cy, DWORD style) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%d %s \"%s\" %d,%d,%d,%d %08lX", id, utf8(cls).c_str(),
                utf8(text).c_str(), x, y, cx, cy, style);
  return buf;
}

void resources() {
  section("resources: dialog 101, icon 102, manifest");
  HMODULE m = LoadLibraryExA(wrapper_exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!check(m != nullptr, "Corvane.exe loads as a data file")) return;
  check(LoadIconA(m, MAKEINTRESOURCEA(IDI_CORVANE)) != nullptr, "icon 102 loads");

  HRSRC man = FindResourceA(m, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  std::string manifest;
  if (man != nullptr)
    manifest.assign(static_cast<const char*>(LockResource(LoadResource(m, man))),
                    SizeofResource(m, man));
  check(manifest.find("level=\"requireAdministrator\"") != std::string::npos,
        "manifest requests administrator rights");
  check(
      manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"") != std::string::npos,
      "manifest asks for common controls 6");

  HRSRC dlg = FindResourceA(m, MAKEINTRESOURCEA(IDD_CORVANE), MAKEINTRESOURCEA(5));
  if (!check(dlg != nullptr, "dialog 101 present")) return;
  TemplateReader r{static_cast<const BYTE*>(LockResource(LoadResource(m, dlg)))};
  WORD version = r.word(), signature = r.word();
  check(version == 1 && signature == 0xFFFF, "extended dialog template");
  r.dword();  // help id
  r.dword();  // extended style
  DWORD style = r.dword();
  check_eq(style, DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
           "dialog style: popup, caption, system menu, centred, not visible");
  WORD count = r.word();
  r.coord();
  r.coord();
  short cx = r.coord(), cy = r.coord();
  check(cx == 278 && cy == 181, "dialog size 278 x 181");
  r.name_or_ordinal();  // menu
  r.name_or_ordinal();  // class
  check_eq(r.text(), DIALOG_CAPTION, "dialog caption");
  WORD points = r.word();
  r.word();  // weight
  r.word();  // italic, charset
  check_eq(points, 9, "font size");
  check_eq(r.text(), L"ＭＳ Ｐゴシック", "font face");

  const DWORD child = WS_CHILD | WS_VISIBLE;
  const std::string want[] = {
      control_line(1000, L"EDIT", L"", 9, 16, 134, 13,
                   child | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP),
      control_line(1001, L"BUTTON", L"参照...", 107, 33, 34, 14,
                   child | BS_PUSHBUTTON | WS_TABSTOP),
      control_line(1002, L"EDIT", L"", 11, 71, 134, 13,
                   child | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP),
      control_line(1005, L"EDIT", L"", 11, 110, 134, 13,
                   child | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP),
      control_line(1003, L"COMBOBOX", L"", 11, 151, 134, 57,
                   child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP),
      control_line(1, L"BUTTON", L"OK", 170, 143, 44, 18, child | BS_DEFPUSHBUTTON | WS_TABSTOP),
      control_line(2, L"BUTTON", L"ｷｬﾝｾﾙ", 218, 144, 44, 18, child | BS_PUSHBUTTON | WS_TABSTOP),
      control_line(1004, L"BUTTON", L"起動テスト(&T)", 185, 71, 50, 14,
                   child | BS_PUSHBUTTON | WS_TABSTOP),
      control_line(1010, L"BUTTON", L"自動起動(&A)", 162, 16, 53, 10,
                   child | BS_AUTOCHECKBOX | WS_TABSTOP),
      control_line(1011, L"BUTTON", L"デスクトップとの対話を許可(&K)", 162, 32, 105, 10,
                   child | BS_AUTOCHECKBOX | WS_TABSTOP),
      control_line(-1, L"BUTTON", L"プログラムの場所(&N)", 6, 4, 143, 49, child | BS_GROUPBOX),
      control_line(-1, L"BUTTON", L"起動時のオプション(&O)", 6, 58, 143, 35, child | BS_GROUPBOX),
      control_line(-1, L"BUTTON", L"サービス名(&S)", 6, 97, 143, 35, child | BS_GROUPBOX),
      control_line(-1, L"BUTTON", L"終了方法(&E)", 6, 137, 143, 35, child | BS_GROUPBOX),
      control_line(-1, L"BUTTON", L"オプション設定", 154, 4, 116, 49, child | BS_GROUPBOX),
      control_line(-1, L"BUTTON", L"起動・削除", 154, 58, 116, 35, child | BS_GROUPBOX),
  };
  check_eq(count, sizeof want / sizeof want[0], "control count");
  for (int i = 0; i < count && i < static_cast<int>(sizeof want / sizeof want[0]); ++i) {
    r.align();
    r.dword();  // help id
    r.dword();  // extended style
    DWORD item_style = r.dword();
    short x = r.coord(), y = r.coord(), w = r.coord(), h = r.coord();
    int id = static_cast<int>(r.dword());
    std::wstring cls = class_name(r.name_or_ordinal());
    std::wstring text = r.name_or_ordinal();
    WORD extra = r.word();
    r.p += extra;
    check_eq(control_line(id, cls, text, x, y, w, h, item_style), want[i],
             "control " + std::to_string(i + 1) + " in tab order");
  }
  FreeLibrary(m);
}

void fresh_dialog_and_refusals() {
  section("a fresh dialog, refused entries, a dropped program");
  DeleteFileA(ini_path.c_str());
  Corvane c;
  if (!open_dialog(c, wrapper_dir)) return finish(c);
  check_eq(text_of(c.item(IDC_PROGRAM)), L"", "program path empty without settings file");
  check_eq(text_of(c.item(IDC_OPTION)), L"SC", "option text defaults to SC");
  check_eq(text_of(c.item(IDC_NAME)), L"", "service name empty");
  check_eq(send(c.item(IDC_END), CB_GETCOUNT), 2, "end-method list has two entries");
  check_eq(combo_label(c, 0), L"WM_CLOSE", "end method 0 label");
  check_eq(combo_label(c, 1), L"WM_SYSCOMMAND→WM_CLOSE", "end method 1 label");
  check_eq(send(c.item(IDC_END), CB_GETCURSEL), 1, "end method 1 selected by default");
  check_eq(send(c.item(IDC_AUTO), BM_GETCHECK), BST_CHECKED, "automatic start ticked");
  check_eq(send(c.item(IDC_DESKTOP), BM_GETCHECK), BST_CHECKED, "desktop interaction ticked");
  check_eq(text_of(c.item(IDC_RUN)), L"起動テスト(&T)", "button 1004 reads test run");
  check_eq(text_of(c.item(IDC_BROWSE)), L"参照...", "browse button text");
  check_eq(text_of(c.item(IDCANCEL)), L"ｷｬﾝｾﾙ", "cancel button text");
  check(entries_enabled(c, true), "all entries enabled when no service is registered");
  check_eq(tab_order(c), "1000 1001 1002 1005 1003 1 2 1004 1010 1011", "tab order");

  const std::string good_exe = child_exe;
  fill(c, good_exe, "SC", "", 1, true, true);
  click(c.item(IDOK));
  answer(c, L"Error", L"サービス名を設定してください。", IDOK, "OK with empty service name");
  fill(c, child_dir + "\\corvane_test_child.com", "SC", SERVICE, 1, true, true);
  click(c.item(IDOK));
  answer(c, L"Error", L"プログラム名を設定してください。", IDOK, "OK with a .com program");
  fill(c, child_dir + "\\corvane_test_child", "SC", SERVICE, 1, true, true);
  click(c.item(IDOK));
  answer(c, L"Error", L"プログラム名を設定してください。", IDOK, "OK with no extension");
  const std::string long_option(259 - good_exe.size(), 'o');  // path + option = 259 bytes
  fill(c, good_exe, long_option, SERVICE, 1, true, true);
  click(c.item(IDOK));
  answer(
      c, L"Error",
      L"プログラムの場所と起動時のオプションが長すぎます。\n合わせて258バイト以内にしてください。",
      IDOK, "OK with a command line too long");
  size_t before = child_starts();
  click(c.item(IDC_RUN));
  answer(
      c, L"Error",
      L"プログラムの場所と起動時のオプションが長すぎます。\n合わせて258バイト以内にしてください。",
      IDOK, "test run with a command line too long");
  check_eq(static_cast<long long>(child_starts()), static_cast<long long>(before),
           "nothing started for a command line too long");
  fill(c, good_exe, "SC", std::string(247, 'n'), 1, true, true);
  click(c.item(IDOK));
  answer(c, L"Error", L"サービス名が長すぎます。\n246バイト以内にしてください。", IDOK,
         "OK with a service name too long for the mutex name");
  check(IsWindow(c.dlg), "the dialog stays open after refused entries");
  check(!file_exists(ini_path), "refused entries write no settings file");

  fill(c, "", "SC", "something", 1, true, true);
  drop_files(c, {good_exe, "C:\\other\\second.exe", "C:\\other\\third.txt"});
  wait_until([&] { return text_of(c.item(IDC_NAME)) == L"corvane_test_child"; }, 5000);
  check_eq(utf8(text_of(c.item(IDC_PROGRAM))), good_exe, "dropped program: first file taken");
  check_eq(text_of(c.item(IDC_NAME)), L"corvane_test_child",
           "dropped program replaces the service name");
  drop_files(c, {"C:\\other\\readme.txt"});
  answer(c, L"Error", L"プログラムファイルのみ登録可能です。", IDOK, "dropped non-program");
  check_eq(utf8(text_of(c.item(IDC_PROGRAM))), good_exe, "a refused drop changes nothing");

  section("test run with end method 1");
  fill(c, good_exe, "SC", SERVICE, 1, true, true);
  before = child_starts();
  click(c.item(IDC_RUN));
  ChildRun run;
  if (check(wait_child_start(before, &run), "test run starts the program")) {
    check_eq(run.cmdline, expected_cmdline("SC"), "test run command line is \"path option\"");
    check_eq(run.cwd, child_dir, "test run working directory is the program's folder");
  }
  answer(c, L"Corvane",
         L"プログラムを起動しました。\nＯＫをクリックするとプログラムを終了します。\n"
         L"終了しない場合、手動でプログラムを終了させてください。",
         IDOK, "test run message");
  if (run.pid != 0) {
    check(wait_until([&] { return refresh(run).exited(); }), "test-run program ends after OK");
    run = refresh(run);
    check_eq(window_events(run, "main"), "WM_SYSCOMMAND SC_CLOSE, WM_CLOSE",
             "main window: SC_CLOSE then WM_CLOSE");
    check_eq(window_events(run, "hidden"), "WM_SYSCOMMAND SC_CLOSE, WM_CLOSE",
             "hidden window: SC_CLOSE then WM_CLOSE");
    check_eq(window_events(run, "owned"), "", "owned window gets nothing");
  }
  check(wait_until([&] { return text_of(c.item(IDC_NAME)) == L"CorvaneTest"; }),
        "the dialog answers again after the test run");
  click(c.item(IDCANCEL));
  check(ended(c), "Cancel closes the dialog and ends Corvane");
  check(!file_exists(ini_path), "Cancel writes no settings file");
  check(!service_exists(SERVICE), "no service after Cancel");
  finish(c);
}

void case_of_directory() {
  section("mode decision ignores letter case");
  std::string other_case = wrapper_dir;
  for (char& ch : other_case) {
    if (ch >= 'a' && ch <= 'z')
      ch = static_cast<char>(ch - 'a' + 'A');
    else if (ch >= 'A' && ch <= 'Z')
      ch = static_cast<char>(ch - 'A' + 'a');
  }
  Corvane c;
  if (open_dialog(c, other_case)) {
    click(c.item(IDCANCEL));
    check(ended(c), "dialog closed");
  }
  finish(c);
}

void register_service() {
  section("registration: automatic start, desktop interaction, start as service");
  Corvane c;
  if (!open_dialog(c, wrapper_dir)) return finish(c);
  fill(c, child_exe, "SC", SERVICE, 1, true, true);
  size_t before = child_starts();
  click(c.item(IDOK));
  answer(c, L"Corvane", L"サービスに登録しますか？", IDYES, "ask to register");
  answer(c, L"Corvane", L"サービスに登録しました。サービスとして起動しますか？", IDYES,
         "registered, ask to start");
  check(ended(c), "the dialog closes after registration");
  finish(c);
  check_eq(ini_lines(),
           "[Corvane]|exe=" + child_exe + "|option=SC|name=" + SERVICE + "|end=1|auto=1|desktop=1|",
           "Corvane.ini holds the six keys in order");
  ServiceConfig cfg = service_config(SERVICE);
  check(cfg.read, "the service is registered");
  check_eq(cfg.type, 0x110, "service type: own process, interactive (0x110)");
  check_eq(cfg.start, 2, "start type: automatic (2)");
  check_eq(cfg.binary, "\"" + wrapper_exe + "\"",
           "executable: the wrapper's own path, quoted since it holds a space");
  check_eq(cfg.display, SERVICE, "display name is the service name");
  check(wait_state(SERVICE, SERVICE_RUNNING), "the service runs");
  ChildRun run;
  if (check(wait_child_start(before, &run), "the service starts the program")) {
    check_eq(run.cmdline, expected_cmdline("SC"), "service command line is \"path option\"");
    check_eq(run.cwd, child_dir, "service working directory is the program's folder");
  }
}

void second_instance() {
  section("a second service-mode instance ends at once");
  size_t before = child_starts();
  Corvane c;
  if (launch(c, "C:\\windows")) {
    check(ended(c), "second instance ends by itself");
    DWORD code = 1;
    GetExitCodeProcess(c.pi.hProcess, &code);
    check_eq(code, 0, "second instance exit code");
    Sleep(500);
    check_eq(static_cast<long long>(child_starts()), static_cast<long long>(before),
             "second instance starts no program");
    check_eq(service_state(SERVICE), SERVICE_RUNNING, "the first instance still runs");
  }
  finish(c);
}

ChildRun last_run() {
  auto runs = child_runs();
  return runs.empty() ? ChildRun{} : runs.back();
}

void stop_service() {
  section("stopping the service asks the program to end");
  ChildRun run = last_run();
  service_control(SERVICE, false);
  check(wait_state(SERVICE, SERVICE_STOPPED), "the service stops");
  check(wait_until([&] { return refresh(run).exited(); }), "the program ends");
  check_eq(window_events(refresh(run), "main"), "WM_SYSCOMMAND SC_CLOSE, WM_CLOSE",
           "main window: SC_CLOSE then WM_CLOSE");
}

void guard_under_scm() {
  section("the single-instance mutex keeps a service-started instance out");
  std::string name = std::string("$$Corvane$$") + SERVICE + "$$";
  HANDLE held = CreateMutexA(nullptr, FALSE, name.c_str());
  size_t before = child_starts();
  DWORD t0 = GetTickCount();
  service_control(SERVICE, true);
  bool reached_running = false;
  wait_until(
      [&] {
        DWORD state = service_state(SERVICE);
        if (state == SERVICE_RUNNING) reached_running = true;
        return state == SERVICE_STOPPED && GetTickCount() - t0 > 1000;
      },
      30000);
  check(!reached_running, "the service never runs while another instance holds the mutex");
  check_eq(service_state(SERVICE), SERVICE_STOPPED, "the service is stopped");
  check_eq(static_cast<long long>(child_starts()), static_cast<long long>(before),
           "no program started while the mutex is held");
  out("    (service manager gave up after " + std::to_string(GetTickCount() - t0) + " ms)\n");
  CloseHandle(held);
}

void reopen_stops_and_restarts() {
  section("reopening the dialog stops a running service; closing starts it again");
  size_t before = child_starts();
  service_control(SERVICE, true);
  check(wait_state(SERVICE, SERVICE_RUNNING), "the service runs again");
  ChildRun run;
  check(wait_child_start(before, &run), "with a new program");
  Corvane c;
  if (!open_dialog(c, wrapper_dir)) return finish(c);
  check(wait_state(SERVICE, SERVICE_STOPPED), "opening the dialog stopped the service");
  check(wait_until([&] { return refresh(run).exited(); }), "and its program ended");
  check_eq(text_of(c.item(IDC_RUN)), L"削除(&D)", "button 1004 reads delete");
  check(entries_enabled(c, false), "entries disabled while registered");
  check_eq(utf8(text_of(c.item(IDC_PROGRAM))), child_exe, "program path from the settings");
  check_eq(utf8(text_of(c.item(IDC_NAME))), SERVICE, "service name from the settings");
  check_eq(send(c.item(IDC_AUTO), BM_GETCHECK), BST_CHECKED, "automatic start from the service");
  check_eq(send(c.item(IDC_DESKTOP), BM_GETCHECK), BST_CHECKED, "desktop flag from the service");
  before = child_starts();
  click(c.item(IDCANCEL));
  check(ended(c), "Cancel closes the dialog");
  finish(c);
  check(wait_state(SERVICE, SERVICE_RUNNING), "closing the dialog started the service again");
  check(wait_child_start(before, &run), "with a new program");
}

void delete_registered() {
  section("deleting the service");
  Corvane c;
  if (!open_dialog(c, wrapper_dir)) return finish(c);
  check(wait_state(SERVICE, SERVICE_STOPPED), "the dialog stopped the service");
  click(c.item(IDC_RUN));
  answer(c, L"Corvane", L"サービスから削除しますか？", IDNO, "ask to delete, answer no");
  check(service_exists(SERVICE), "answering no keeps the service");
  check_eq(text_of(c.item(IDC_RUN)), L"削除(&D)", "still registered");
  click(c.item(IDC_RUN));
  answer(c, L"Corvane", L"サービスから削除しますか？", IDYES, "ask to delete, answer yes");
  answer(c, L"Corvane", L"サービスから削除しました。", IDOK, "deleted");
  check_eq(text_of(c.item(IDC_RUN)), L"起動テスト(&T)", "button 1004 reads test run again");
  check(entries_enabled(c, true), "entries enabled after deletion");
  size_t before = child_starts();
  click(c.item(IDCANCEL));
  check(ended(c), "Cancel closes the dialog");
  finish(c);
  check(wait_until([] { return !service_exists(SERVICE); }, 5000), "the service is gone");
  Sleep(500);
  check_eq(static_cast<long long>(child_starts()), static_cast<long long>(before),
           "nothing restarted after deletion");
}

void outside_scm() {
  section("service mode without the service manager ends silently");
  Corvane c;
  if (launch(c, "C:\\windows")) {
    bool shown = false;
    DWORD start = GetTickCount();
    while (!ended(c, 100) && GetTickCount() - start < WAIT_MS)
      if (!dialogs_of(c.pi.dwProcessId).empty()) shown = true;
    check(ended(c, 0), "Corvane ends by itself");
    check(!shown, "nothing is shown");
    DWORD code = 1;
    GetExitCodeProcess(c.pi.hProcess, &code);
    check_eq(code, 0, "exit code");
  }
  finish(c);
}

void no_selection_and_hanging_window() {
  section("answering no still saves; end method -1; a window that never answers");
  Corvane c;
  if (!open_dialog(c, wrapper_dir)) return finish(c);
  fill(c, child_exe, "SC hang", HANG_SERVICE, -1, false, false);
  click(c.item(IDOK));
  answer(c, L"Corvane", L"サービスに登録しますか？", IDNO, "ask to register, answer no");
  check(ended(c), "the dialog closes");
  finish(c);
  check_eq(ini_lines(),
           "[Corvane]|exe=" + child_exe + "|option=SC hang|name=" + HANG_SERVICE +
               "|end=-1|auto=0|desktop=0|",
           "entries saved although not registered; no selection saved as -1");
  check(!service_exists(HANG_SERVICE), "no service registered");

  if (!open_dialog(c, wrapper_dir)) return finish(c);
  check_eq(send(c.item(IDC_END), CB_GETCURSEL), CB_ERR, "end -1 shows no selection");
  check_eq(send(c.item(IDC_AUTO), BM_GETCHECK), BST_UNCHECKED, "automatic start from settings");
  size_t before = child_starts();
  click(c.item(IDOK));
  answer(c, L"Corvane", L"サービスに登録しますか？", IDYES, "ask to register");
  answer(c, L"Corvane", L"サービスに登録しました。サービスとして起動しますか？", IDYES,
         "registered, ask to start");
  check(ended(c), "the dialog closes");
  finish(c);
  ServiceConfig cfg = service_config(HANG_SERVICE);
  check_eq(cfg.type, 0x10, "service type: own process (0x10)");
  check_eq(cfg.start, 3, "start type: on demand (3)");
  check(wait_state(HANG_SERVICE, SERVICE_RUNNING), "the service runs");
  ChildRun run;
  if (!check(wait_child_start(before, &run), "the service starts the program")) return;
  check_eq(run.cmdline, expected_cmdline("SC hang"), "command line with the option text");
  DWORD t0 = GetTickCount();
  service_control(HANG_SERVICE, false);
  // Each of the program's two windows may take the full send time-out (5 s);
  // unbounded sends would wait for the program's 30-second hang instead.
  bool stopped = wait_state(HANG_SERVICE, SERVICE_STOPPED, 20000);
  DWORD took = GetTickCount() - t0;
  check(stopped && took < 20000, "a hanging window does not hold the stop",
        std::to_string(took) + " ms");
  out("    (stopped " + std::to_string(took) + " ms after the stop control)\n");
  check(wait_until([&] { return !refresh(run).events.empty(); }), "the program was asked");
  check_eq(window_events(refresh(run), "main"), "WM_CLOSE", "end -1 sends WM_CLOSE only");
  kill_child(run.pid);

  section("a program that ends by itself stops the service");
  WritePrivateProfileStringA("Corvane", "option", "SC selfexit", ini_path.c_str());
  before = child_starts();
  service_control(HANG_SERVICE, true);
  check(wait_state(HANG_SERVICE, SERVICE_RUNNING), "the service runs");
  if (check(wait_child_start(before, &run), "the settings file is read at every start"))
    check_eq(run.cmdline, expected_cmdline("SC selfexit"), "command line from the new settings");
  check(wait_state(HANG_SERVICE, SERVICE_STOPPED), "the service stops when the program ends");
  check(refresh(run).exited(), "the program ended by itself");
  delete_service(HANG_SERVICE);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvane_wine_driver WRAPPER_DIR CHILD_DIR\n");
    return 2;
  }
  wrapper_dir = argv[1];
  child_dir = argv[2];
  wrapper_exe = wrapper_dir + "\\Corvane.exe";
  child_exe = child_dir + "\\corvane_test_child.exe";
  ini_path = wrapper_dir + "\\Corvane.ini";
  child_log = child_dir + "\\corvane_test_child.log";
  DeleteFileA(child_log.c_str());

  section("environment");
  check_eq(GetACP(), 932, "active code page is 932");
  check(file_exists(wrapper_exe), "Corvane.exe present");
  check(file_exists(child_exe), "test child present");
  delete_service(SERVICE);
  delete_service(HANG_SERVICE);

  resources();
  fresh_dialog_and_refusals();
  case_of_directory();
  register_service();
  second_instance();
  stop_service();
  guard_under_scm();
  reopen_stops_and_restarts();
  delete_registered();
  outside_scm();
  no_selection_and_hanging_window();

  delete_service(SERVICE);
  delete_service(HANG_SERVICE);
  char summary[80];
  std::snprintf(summary, sizeof summary, "%d passed, %d failed\n", passed, failed);
  out(summary);
  return failed == 0 ? 0 : 1;
}
