#include "capture/frame/menu.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "capture/frame/loop.h"
#include "capture/frame/nimbrel.h"
#include "platform/console.h"

namespace nbl {
namespace {

// Fatal end of a device set-up or of the menu: a blank line, "pause", -1.
int PauseAndFail(Nimbrel& app) {
  app.diag.Con(u"\n");
  app.diag.FlushConsole();
  SystemPause(app.console.in, app.console.out);
  return -1;
}

enum class SetupResult { kReady, kFailed };

// Lists the adapters, takes the number, opens and filters the adapter.
// On failure *exitCode holds the program's exit code.
SetupResult DeviceSetup(Nimbrel& app, int* exitCode) {
  Diag& diag = app.diag;
  const bool autoRun = app.options.AutoRun == 1;
  char err[kCaptureErrCap] = {0};
  std::vector<CaptureDevice> devices;
  if (!app.capture->ListDevices(&devices, err)) {
    diag.ToBoth(u"[%hs][%d][Err]: Error in pcap_findalldevs: %hs\n", kMainFunc, __LINE__, err);
    diag.Con(u"ERROR : Error in pcap_findalldevs: %hs\n", err);
    diag.FlushConsole();
    *exitCode = 1;
    return SetupResult::kFailed;
  }
  diag.ToDbg(u"[%hs][%d][Info]: Start pcap_findalldevs Load: %hs\n", kMainFunc, __LINE__, err);
  diag.Con(u"Device list\n");
  int k = 0;
  for (const CaptureDevice& d : devices) {
    ++k;
    diag.Con(u"%d. %hs\n", k, d.name);
    diag.ToDbg(u"[%hs][%d][Info]: %d. %hs\n", kMainFunc, __LINE__, k, d.name);
    if (!d.hasDescription) {
      diag.Con(u"\nERROR : (No description available)\n");
      continue;
    }
    diag.Con(u"\tDescription: %hs\n", d.description);
    diag.ToDbg(u"[%hs][%d][Info]: \tDescription: %hs\n", kMainFunc, __LINE__, d.description);
    for (const CaptureAddress& a : d.addresses) {
      if (a.family == kFamilyInet) {
        const char* text = app.addresses.Format(a.addr);
        diag.Con(u"\tAddress: %hs\n", text);
        diag.ToDbg(u"[%hs][%d][Info]: \tAddress: %hs\n", kMainFunc, __LINE__, text);
      } else {
        diag.Con(u"\tAddress Family Name: Unknown\n");
        diag.ToBoth(u"[%hs][%d][Info]: \tAddress Family Name: Unknown\n", kMainFunc, __LINE__);
      }
    }
    diag.Con(u"\n");
  }
  if (devices.empty()) {
    diag.ToBoth(u"[%hs][%d][Err]: No interfaces found! Make sure WinPcap is installed.\n",
                kMainFunc, __LINE__);
    diag.Con(u"\nERROR : No interfaces found! Make sure WinPcap is installed.\n");
    *exitCode = PauseAndFail(app);
    return SetupResult::kFailed;
  }
  diag.Con(u"\n");
  diag.Con(u"Enter the interface number (1-%d):", k);
  int number = 0;
  if (autoRun) {
    number = app.options.DeviceSetNo;
    diag.Con(u"%d\n", number);
  } else {
    diag.FlushConsole();
    if (ReadNumber(app.console.in, &number) != 1) number = 0;
  }
  app.options.DeviceSetNo = number;
  if (number < 1 || number > k) {
    diag.ToBoth(u"[%hs][%d][Err]: Interface number out of range.\n", kMainFunc, __LINE__);
    diag.Con(u"\nERROR : Interface number out of range.\n");
    *exitCode = PauseAndFail(app);
    return SetupResult::kFailed;
  }
  const CaptureDevice& dev = devices[static_cast<size_t>(number - 1)];
  bool haveAddress = false;
  uint8_t server[4] = {0, 0, 0, 0};
  if (dev.hasDescription) {
    for (const CaptureAddress& a : dev.addresses) {
      if (a.family != kFamilyInet) continue;
      const char* text = app.addresses.Format(a.addr, server);
      diag.Con(u"Select Address: %hs\n", text);
      diag.ToDbg(u"[%hs][%d][Info]: Select Address: %hs\n", kMainFunc, __LINE__, text);
      haveAddress = true;
    }
  }
  // Requests and responses are told apart by the server's address; an
  // adapter without one cannot be used.
  if (!haveAddress) {
    diag.ToBoth(u"[%hs][%d][Err]: The adapter %hs has no IPv4 address.\n", kMainFunc, __LINE__,
                dev.name);
    diag.Con(u"\nERROR : The adapter %hs has no IPv4 address; select one that has.\n", dev.name);
    *exitCode = PauseAndFail(app);
    return SetupResult::kFailed;
  }
  diag.ToDbg(u"[%hs][%d][Info]: Open pcap_findalldevs: %hs\n", kMainFunc, __LINE__, dev.name);
  std::unique_ptr<FrameSource> source =
      app.capture->OpenLive(dev.name.c_str(), 65536, 1, app.options.PCAP_ReadTimeout, err);
  if (!source) {
    diag.ToBoth(u"[%hs][%d][Err]: Unable to open the adapter. %hs is not supported by WinPcap\n",
                kMainFunc, __LINE__, dev.name);
    diag.Con(u"\nERROR : Unable to open the adapter. %hs is not supported by WinPcap\n", dev.name);
    diag.Con(u"%hs\n", err);
    *exitCode = PauseAndFail(app);
    return SetupResult::kFailed;
  }
  if (source->Datalink() != kLinkEthernet) {
    diag.ToBoth(u"[%hs][%d][Err]: This program works only on Ethernet networks.\n", kMainFunc,
                __LINE__);
    diag.Con(u"\nERROR : This program works only on Ethernet networks.\n");
    *exitCode = PauseAndFail(app);
    return SetupResult::kFailed;
  }
  uint32_t netmask = 0xFFFFFF;
  if (!dev.addresses.empty() && dev.addresses[0].hasNetmask)
    std::memcpy(&netmask, dev.addresses[0].netmask, 4);
  int rc = source->SetFilter(app.options.PacketFilter, netmask);
  if (rc == -1) {
    std::u16string filter = SystemToWide(app.options.PacketFilter);
    diag.ToBoth(u"[%hs][%d][Err]: Unable to compile the packet filter. Check the syntax.[%s]\n",
                kMainFunc, __LINE__, filter);
    diag.Con(u"\nERROR : Unable to compile the packet filter. Check the syntax. [%s]\n", filter);
    *exitCode = PauseAndFail(app);
    return SetupResult::kFailed;
  }
  if (rc != 0) {
    diag.ToBoth(u"[%hs][%d][Err]: Error setting the filter.\n", kMainFunc, __LINE__);
    diag.Con(u"\nERROR : Error setting the filter.\n");
    *exitCode = PauseAndFail(app);
    return SetupResult::kFailed;
  }
  // A repeated set-up replaces (and closes) the adapter opened before.
  app.source = std::move(source);
  std::memcpy(app.serverAddress, server, 4);
  app.serverAddressSet = true;
  return SetupResult::kReady;
}

void ToggleAutoRun(Nimbrel& app) {
  Diag& diag = app.diag;
  if (app.options.AutoRun == 1) {
    app.options.AutoRun = 0;
    diag.ToDbg(u"[%hs][%d][Info]: AutoRun OFF\n", kMainFunc, __LINE__);
    WriteAutoRun(app.exePath, app.options);
    diag.Con(u"INFO : AutoRun OFF\n");
  } else {
    app.options.AutoRun = 1;
    diag.ToDbg(u"[%hs][%d][Info]: AutoRun ON\n", kMainFunc, __LINE__);
    WriteAutoRun(app.exePath, app.options);
    diag.Con(u"INFO : AutoRun ON\n");
  }
}

int ExitItem(Nimbrel& app) {
  app.diag.Con(u"INFO : exit the application.\n");
  return PauseAndFail(app);
}

}  // namespace

const char* AddressRing::Format(const uint8_t* addr, uint8_t* out) {
  last = last == 11 ? 0 : last + 1;
  std::snprintf(text[last], sizeof text[last], "%d.%d.%d.%d", addr[0], addr[1], addr[2], addr[3]);
  if (out != nullptr) std::memcpy(out, addr, 4);
  return text[last];
}

int ReadNumber(std::FILE* in, int* value) {
  char line[256];
  if (in == nullptr || std::fgets(line, sizeof line, in) == nullptr) return -1;
  size_t len = std::strlen(line);
  if (len > 0 && line[len - 1] != '\n') {  // discard the rest of a long line
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
    }
  }
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(line, &end, 10);
  if (end == line) return 0;
  if (errno == ERANGE || v > INT_MAX || v < INT_MIN) v = 0;  // out of every range
  *value = static_cast<int>(v);
  return 1;
}

int RunMenu(Nimbrel& app) {
  Diag& diag = app.diag;
  for (;;) {
    diag.Con(u"\n");
    diag.Con(u"------------ Menu --------------------\n");
    diag.Con(u"1) Device Setup\n");
    diag.Con(u"2) Option List (Makefile)\n");
    diag.Con(u"3) AutoRun Setup\n");
    diag.Con(u"4) Start Nimbrel\n");
    diag.Con(u"5) Exit\n");
    diag.Con(u"Menu number (1-4):");
    int choice = 0;
    if (app.options.AutoRun == 1) {
      choice = 1;
      diag.Con(u"%d\n\n", choice);
    } else {
      diag.FlushConsole();
      int got = ReadNumber(app.console.in, &choice);
      diag.Con(u"\n");
      if (got < 0) return ExitItem(app);  // input at its end: nobody can answer
      if (got == 0) continue;
    }
    switch (choice) {
      case 1: {
        int code = 0;
        if (DeviceSetup(app, &code) == SetupResult::kFailed) return code;
        if (app.options.AutoRun == 1) {
          diag.Con(u"\n");
          diag.Con(u"INFO : Start Nimbrel.\n");
          diag.Con(u"\n");
          diag.FlushConsole();
          return StartCapture(app, *app.source);
        }
        app.deviceReady = true;
        break;
      }
      case 2:
        ShowAndWriteOptions(diag, app.exePath, app.options);
        break;
      case 3:
        ToggleAutoRun(app);
        break;
      case 4:
        if (app.deviceReady) {
          diag.Con(u"INFO : Start Nimbrel.\n");
          diag.Con(u"\n");
          diag.FlushConsole();
          return StartCapture(app, *app.source);
        }
        diag.Con(u"ERROR : Select the device setup menu.\n");
        diag.Con(u"\n");
        break;
      case 5:
        return ExitItem(app);
      default:
        break;
    }
  }
}

}  // namespace nbl
