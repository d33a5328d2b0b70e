// wpcap.dll is not linked: it is loaded when first needed, through a table of
// the functions the program uses, declared here from the documented libpcap
// interface. Without the library the program reports it and goes on to fail
// cleanly where the adapter list is needed.
#include <windows.h>
#include <winsock2.h>

#include <cstring>

#include "platform/capture.h"

namespace nbl {
namespace {

// Documented libpcap types, as the library lays them out on Windows.
struct wp_pcap;  // opaque pcap_t
struct wp_pcap_addr {
  wp_pcap_addr* next;
  sockaddr* addr;
  sockaddr* netmask;
  sockaddr* broadaddr;
  sockaddr* dstaddr;
};
struct wp_pcap_if {
  wp_pcap_if* next;
  char* name;
  char* description;
  wp_pcap_addr* addresses;
  unsigned int flags;
};
struct wp_timeval {
  long tv_sec;
  long tv_usec;
};
struct wp_pkthdr {
  wp_timeval ts;
  unsigned int caplen;
  unsigned int len;
};
struct wp_bpf_program {
  unsigned int bf_len;
  void* bf_insns;
};
struct wp_stat {
  unsigned int ps_recv;
  unsigned int ps_drop;
  unsigned int ps_ifdrop;
};

struct WpcapTable {
  HMODULE dll = nullptr;
  int (*findalldevs)(wp_pcap_if**, char*) = nullptr;
  void (*freealldevs)(wp_pcap_if*) = nullptr;
  wp_pcap* (*open_live)(const char*, int, int, int, char*) = nullptr;
  wp_pcap* (*open_offline)(const char*, char*) = nullptr;
  int (*datalink)(wp_pcap*) = nullptr;
  int (*compile)(wp_pcap*, wp_bpf_program*, const char*, int, unsigned int) = nullptr;
  int (*setfilter)(wp_pcap*, wp_bpf_program*) = nullptr;
  void (*freecode)(wp_bpf_program*) = nullptr;
  int (*next_ex)(wp_pcap*, wp_pkthdr**, const unsigned char**) = nullptr;
  char* (*geterr)(wp_pcap*) = nullptr;
  int (*stats)(wp_pcap*, wp_stat*) = nullptr;
  void (*close)(wp_pcap*) = nullptr;
  bool loaded = false;
};

template <class F>
bool Bind(HMODULE dll, const char* name, F* fn) {
  *fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  return *fn != nullptr;
}

const WpcapTable* LoadWpcap(char* err) {
  static WpcapTable t;  // loaded once for the process; the DLL stays mapped
  static bool tried = false;
  if (!tried) {
    tried = true;
    t.dll = LoadLibraryA("wpcap.dll");
    if (t.dll != nullptr) {
      t.loaded = Bind(t.dll, "pcap_findalldevs", &t.findalldevs) &&
                 Bind(t.dll, "pcap_freealldevs", &t.freealldevs) &&
                 Bind(t.dll, "pcap_open_live", &t.open_live) &&
                 Bind(t.dll, "pcap_open_offline", &t.open_offline) &&
                 Bind(t.dll, "pcap_datalink", &t.datalink) &&
                 Bind(t.dll, "pcap_compile", &t.compile) &&
                 Bind(t.dll, "pcap_setfilter", &t.setfilter) &&
                 Bind(t.dll, "pcap_freecode", &t.freecode) &&
                 Bind(t.dll, "pcap_next_ex", &t.next_ex) && Bind(t.dll, "pcap_geterr", &t.geterr) &&
                 Bind(t.dll, "pcap_stats", &t.stats) && Bind(t.dll, "pcap_close", &t.close);
    }
  }
  if (!t.loaded) {
    if (err != nullptr)
      std::strncpy(err,
                   t.dll == nullptr
                       ? "wpcap.dll could not be loaded (is the packet capture driver installed?)"
                       : "wpcap.dll lacks a function this program needs",
                   kCaptureErrCap - 1);
    return nullptr;
  }
  return &t;
}

class WpcapSource : public FrameSource {
 public:
  WpcapSource(const WpcapTable* t, wp_pcap* p, bool live) : t_(t), p_(p), live_(live) {}
  ~WpcapSource() override { t_->close(p_); }

  int Next(FrameHeader* header, const uint8_t** data) override {
    wp_pkthdr* h = nullptr;
    const unsigned char* d = nullptr;
    int rc = t_->next_ex(p_, &h, &d);
    if (rc == 1) {
      header->sec = static_cast<int64_t>(static_cast<unsigned long>(h->ts.tv_sec));
      header->usec = static_cast<int32_t>(h->ts.tv_usec);
      header->caplen = h->caplen;
      header->len = h->len;
      *data = d;
    }
    return rc;
  }
  std::string Error() override { return t_->geterr(p_); }
  int Datalink() override { return t_->datalink(p_); }
  int SetFilter(const char* filter, uint32_t netmask) override {
    wp_bpf_program prog{};
    if (t_->compile(p_, &prog, filter, 1, netmask) < 0) return -1;
    int rc = t_->setfilter(p_, &prog);
    t_->freecode(&prog);
    return rc < 0 ? -2 : 0;
  }
  long long Dropped() override {
    wp_stat st{};
    if (!live_ || t_->stats(p_, &st) != 0) return -1;
    return static_cast<long long>(st.ps_drop);
  }
  bool IsLive() const override { return live_; }

 private:
  const WpcapTable* t_;
  wp_pcap* p_;
  bool live_;
};

void CopyIPv4(const sockaddr* sa, uint8_t* out) {
  const auto* in = reinterpret_cast<const sockaddr_in*>(sa);
  std::memcpy(out, &in->sin_addr.s_addr, 4);
}

class Wpcap : public CaptureSystem {
 public:
  bool ListDevices(std::vector<CaptureDevice>* out, char* err) override {
    const WpcapTable* t = LoadWpcap(err);
    if (t == nullptr) return false;
    wp_pcap_if* all = nullptr;
    if (t->findalldevs(&all, err) == -1) return false;
    for (wp_pcap_if* d = all; d != nullptr; d = d->next) {
      CaptureDevice dev;
      dev.name = d->name ? d->name : "";
      dev.hasDescription = d->description != nullptr;
      dev.description = d->description ? d->description : "";
      for (wp_pcap_addr* a = d->addresses; a != nullptr; a = a->next) {
        if (a->addr == nullptr) continue;
        CaptureAddress ca;
        ca.family = a->addr->sa_family;
        if (a->addr->sa_family == AF_INET) {
          CopyIPv4(a->addr, ca.addr);
          if (a->netmask != nullptr) {
            ca.hasNetmask = true;
            CopyIPv4(a->netmask, ca.netmask);
          }
        }
        dev.addresses.push_back(ca);
      }
      out->push_back(std::move(dev));
    }
    t->freealldevs(all);
    return true;
  }

  std::unique_ptr<FrameSource> OpenLive(const char* name, int snaplen, int promisc, int timeoutMs,
                                        char* err) override {
    const WpcapTable* t = LoadWpcap(err);
    if (t == nullptr) return nullptr;
    wp_pcap* p = t->open_live(name, snaplen, promisc, timeoutMs, err);
    if (p == nullptr) return nullptr;
    return std::make_unique<WpcapSource>(t, p, true);
  }
};

}  // namespace

CaptureSystem& SystemCapture() {
  static Wpcap lib;
  return lib;
}

std::unique_ptr<FrameSource> OpenCaptureFile(const char* path, char* err) {
  const WpcapTable* t = LoadWpcap(err);
  if (t == nullptr) return nullptr;
  wp_pcap* p = t->open_offline(path, err);
  if (p == nullptr) return nullptr;
  return std::make_unique<WpcapSource>(t, p, false);
}

}  // namespace nbl
