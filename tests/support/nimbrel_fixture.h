// A Nimbrel record placed in a temporary folder, with a fixed clock and its
// console captured, for start-up and capture tests.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "capture/frame/nimbrel.h"
#include "tests/support/fake_server.h"
#include "tests/support/frames.h"
#include "tests/support/tempdir.h"

namespace nbl::test {

// 2026-12-11 09:30:05 UTC; the tests run with TZ=UTC.
inline constexpr int64_t kFixedNow = 1796981405;

class ConsoleCapture {
 public:
  ConsoleCapture() : out_(std::tmpfile()), in_(std::tmpfile()) {}
  ~ConsoleCapture() {
    std::fclose(out_);
    std::fclose(in_);
  }
  void Feed(const std::string& input) {
    std::fputs(input.c_str(), in_);
    std::rewind(in_);
  }
  std::string Text() {
    std::fflush(out_);
    long pos = std::ftell(out_);
    std::string s(static_cast<size_t>(pos), '\0');
    std::rewind(out_);
    size_t n = std::fread(s.data(), 1, s.size(), out_);
    s.resize(n);
    std::fseek(out_, 0, SEEK_END);
    return s;
  }
  std::FILE* out() { return out_; }
  std::FILE* in() { return in_; }

 private:
  std::FILE* out_;
  std::FILE* in_;
};

struct NimbrelInDir {
  explicit NimbrelInDir(const TempDir& dir, int64_t now = kFixedNow)
      : app(std::make_unique<Nimbrel>()) {
    std::string exe = dir.File("Nimbrel");
    app->exePath = [exe](char* out, size_t cap) {
      if (exe.size() + 1 > cap) return false;
      std::memcpy(out, exe.c_str(), exe.size() + 1);
      return true;
    };
    app->now = [now] { return now; };
    app->console.out = console.out();
    app->console.in = console.in();
    app->capture = &capture;
    auto fake = std::make_unique<FakeFileServer>();
    server = fake.get();
    app->server = std::move(fake);
    auto fakeFiles = std::make_unique<FakeFileSystem>();
    files = fakeFiles.get();
    app->files = std::move(fakeFiles);
    app->resolveName = [this](const char* ip, char* host, size_t cap) {
      return resolver(ip, host, cap);
    };
  }
  // Settings that answer the menu by themselves: adapter 1, the fake one.
  static void WriteAutoRunIni(const TempDir& dir, const std::string& extra = "") {
    // The first of two equal keys counts, so the extra settings come first.
    WriteFile(dir.File("Nimbrel.ini"), "[Option]\n" + extra +
                                           "AutoRun=1\nDeviceSetNo=1\nAccessDataCnt=64\n"
                                           "SessionSetupCnt=16\nSmbOpenFileCnt=16\n");
  }
  std::string Debug(const TempDir& dir) { return ReadFile(dir.File("NimbrelDBG.log")); }
  ConsoleCapture console;
  FakeCapture capture;
  FakeFileServer* server = nullptr;  // owned by the record
  FakeFileSystem* files = nullptr;   // owned by the record
  FakeResolver resolver;
  std::unique_ptr<Nimbrel> app;
};

}  // namespace nbl::test
