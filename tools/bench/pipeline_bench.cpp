// Cost per SMB2 frame of the client look-up, the access-information search
// and a whole CREATE request through the pipeline. Run:
//   build/tools/nimbrel-bench --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "capture/frame/loop.h"
#include "capture/frame/nimbrel.h"
#include "capture/smb2/clients.h"
#include "tests/support/fake_server.h"
#include "tests/support/frames.h"

namespace {

std::unique_ptr<nbl::Nimbrel> MakeApp(int32_t accessEntries, int sessions) {
  auto a = std::make_unique<nbl::Nimbrel>();
  a->exePath = [](char*, size_t) { return false; };
  a->console.out = std::fopen("/dev/null", "w");
  nbl::SetOptionDefaults(&a->options);
  a->options.AccessDataCnt = accessEntries;
  a->options.PrintMode = 0;
  if (nbl::AllocateTables(*a)) std::abort();
  auto server = std::make_unique<nbl::test::FakeFileServer>();
  std::vector<nbl::ServerSession> list;
  for (int i = 0; i < sessions; ++i) {
    nbl::ServerSession s;
    s.cname = nbl::AsciiToU16("10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250));
    s.username = u"user";
    list.push_back(s);
  }
  list.push_back(server->sessions.items[0]);  // the client of the frames, last
  server->SetSessions(list);
  a->server = std::move(server);
  a->files = std::make_unique<nbl::test::FakeFileSystem>();
  a->resolveName = [](const char*, char* host, size_t cap) {
    std::memset(host, 0, cap);
    return -2;
  };
  const uint8_t server4[4] = {10, 99, 0, 1};
  std::memcpy(a->serverAddress, server4, 4);
  return a;
}

// Fills the table with entries in use, other clients first.
void FillTable(nbl::Nimbrel& app, int32_t inUse) {
  for (int32_t i = 0; i < inUse; ++i) {
    nbl::NBL_AccessInfo_ST& e = app.accessInfo[i];
    e.State = nbl::NBL_USE;
    e.TreeId = static_cast<uint32_t>(i);
    e.SessionId = 77;
    std::u16string ip = i + 1 == inUse ? u"10.99.0.2" : nbl::AsciiToU16("10.2.0." + std::to_string(i % 250));
    nbl::U16Copy(e.CL_IP, nbl::kTextUnits, ip);
    app.accessInfo.Commit(i);
  }
}

void BM_ClientLookup(benchmark::State& state) {
  auto app = MakeApp(16, static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(nbl::FindClientSession(*app, u"10.99.0.2", 5));
}
BENCHMARK(BM_ClientLookup)->Arg(10)->Arg(1000);

void BM_AccessInfoSearch(benchmark::State& state) {
  const int32_t inUse = static_cast<int32_t>(state.range(0));
  auto app = MakeApp(40960, 1);
  FillTable(*app, inUse);
  for (auto _ : state)
    benchmark::DoNotOptimize(app->accessInfo.NBL_AccessInfoGet(
        static_cast<uint32_t>(inUse - 1), 0, 77, u"10.99.0.2", nbl::NBL_USE));
}
BENCHMARK(BM_AccessInfoSearch)->Arg(10)->Arg(40960);

// The same search as a scan from index 0, for comparison.
void BM_AccessInfoScan(benchmark::State& state) {
  const int32_t inUse = static_cast<int32_t>(state.range(0));
  auto app = MakeApp(40960, 1);
  FillTable(*app, inUse);
  const std::u16string_view ip = u"10.99.0.2";
  for (auto _ : state) {
    int32_t found = -1;
    for (int32_t i = 0; i < app->accessInfo.count() && found < 0; ++i) {
      const nbl::NBL_AccessInfo_ST& e = app->accessInfo[i];
      if (e.State == nbl::NBL_USE && e.TreeId == static_cast<uint32_t>(inUse - 1) &&
          e.ProcessId == 0 && e.SessionId == 77 && nbl::U16View(e.CL_IP, nbl::kTextUnits) == ip)
        found = i;
    }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_AccessInfoScan)->Arg(10)->Arg(40960);

// One CREATE request frame through the loop head, the look-ups, the entry
// refresh and a row (debug level 4, the default; logs not open).
void BM_CreateRequestFrame(benchmark::State& state) {
  auto app = MakeApp(40960, 10);
  nbl::test::FrameSpec s;
  s.command = 0x0005;
  s.sessionId = 77;
  s.body = nbl::test::CreateRequestBody(u"dir\\report.docx");
  nbl::test::Bytes frame = nbl::test::BuildFrame(s);
  nbl::FrameHeader h;
  h.sec = 1796981405;
  h.caplen = h.len = static_cast<uint32_t>(frame.size());
  for (auto _ : state) {
    ++h.usec;
    nbl::HandleFrame(*app, h, frame.data());
    app->rows.Flush(*app);
  }
}
BENCHMARK(BM_CreateRequestFrame);

}  // namespace

BENCHMARK_MAIN();
