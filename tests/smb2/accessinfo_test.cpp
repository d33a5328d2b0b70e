#include "capture/smb2/accessinfo.h"

#include <gtest/gtest.h>

#include <random>

namespace nbl {
namespace {

// The table as a plain scan from index 0 would search it.
int32_t ReferenceGet(AccessInfoTable& t, uint32_t tree, uint32_t pid, uint64_t sid,
                     const std::u16string& ip, int32_t mode) {
  auto ipIs = [&](const NBL_AccessInfo_ST& e) { return U16View(e.CL_IP, kTextUnits) == ip; };
  if (mode == NBL_DEL_WAIT || mode == NBL_DEL_USE) {
    int32_t state = mode == NBL_DEL_WAIT ? NBL_WAIT : NBL_USE, n = 0;
    for (int32_t i = 0; i < t.count(); ++i)
      if (t[i].State == state && ipIs(t[i])) {
        t.Clear(i);
        ++n;
      }
    return n;
  }
  for (int32_t i = 0; i < t.count(); ++i) {
    const NBL_AccessInfo_ST& e = t[i];
    bool hit = false;
    switch (mode) {
      case NBL_CLR:
        hit = e.State == 0;
        break;
      case NBL_WAIT:
        hit = e.State == NBL_WAIT && e.ProcessId == pid && e.SessionId == sid && ipIs(e);
        break;
      case NBL_USE:
        hit = e.State == NBL_USE && e.TreeId == tree && e.ProcessId == pid && e.SessionId == sid &&
              ipIs(e);
        break;
      case NBL_FIND:
        hit = e.State == NBL_USE && e.ProcessId == pid && e.SessionId == sid && ipIs(e);
        break;
      default:
        return -1;
    }
    if (hit) return i;
  }
  return -1;
}

void Set(AccessInfoTable& t, int32_t i, int32_t state, uint32_t tree, uint32_t pid, uint64_t sid,
         const std::u16string& ip) {
  t[i].State = state;
  t[i].TreeId = tree;
  t[i].ProcessId = pid;
  t[i].SessionId = sid;
  U16Copy(t[i].CL_IP, kTextUnits, ip);
  t.Commit(i);
}

TEST(AccessInfoTable, ModesReturnTheLowestMatchingIndex) {
  AccessInfoTable t;
  ASSERT_TRUE(t.Allocate(8));
  const std::u16string a = u"10.0.0.1", b = u"10.0.0.2";
  Set(t, 1, NBL_WAIT, 0, 7, 70, a);
  Set(t, 3, NBL_WAIT, 5, 7, 70, a);  // same connection again: the lower index wins
  Set(t, 4, NBL_USE, 9, 7, 70, a);
  Set(t, 5, NBL_USE, 10, 7, 71, a);
  Set(t, 6, NBL_USE, 9, 7, 70, b);
  struct Case {
    uint32_t tree, pid;
    uint64_t sid;
    std::u16string ip;
    int32_t mode, want;
  } cases[] = {
      {0, 0, 0, u"", NBL_CLR, 0},   {123, 7, 70, a, NBL_WAIT, 1},  // whatever tree id
      {9, 7, 70, a, NBL_USE, 4},    {10, 7, 70, a, NBL_USE, -1},   // needs the exact tree id
      {555, 7, 71, a, NBL_FIND, 5}, {9, 7, 70, u"10.0.0.10", NBL_USE, -1},
      {0, 7, 70, a, 3, -1},         {0, 7, 70, a, 7, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(t.NBL_AccessInfoGet(c.tree, c.pid, c.sid, c.ip.c_str(), c.mode), c.want) << c.mode;
  t.Clear(0);
  Set(t, 0, NBL_USE, 1, 1, 1, b);
  t.Clear(2);
  EXPECT_EQ(t.NBL_AccessInfoGet(0, 0, 0, u"", NBL_CLR), 2);
  t.Clear(0);
  EXPECT_EQ(t.NBL_AccessInfoGet(0, 0, 0, u"", NBL_CLR), 0);  // the freed middle entry first
  EXPECT_EQ(t.CountState(NBL_WAIT), 2);
  EXPECT_EQ(t.CountState(NBL_USE), 3);
  // Mode 5 clears every tree and session of the address, mode 4 nothing here.
  EXPECT_EQ(t.NBL_AccessInfoGet(0, 0, 0, b.c_str(), NBL_DEL_WAIT), 0);
  EXPECT_EQ(t.NBL_AccessInfoGet(0, 0, 0, a.c_str(), NBL_DEL_USE), 2);
  EXPECT_EQ(t[4].State, 0);
  EXPECT_EQ(t[5].State, 0);
  EXPECT_EQ(t[6].State, NBL_USE);
  EXPECT_EQ(t.CountState(NBL_USE), 1);
}

TEST(AccessInfoTable, IndexAgreesWithAPlainScan) {
  std::mt19937 rng(20261211);
  AccessInfoTable t;
  AccessInfoTable ref;
  const int32_t n = 64;
  ASSERT_TRUE(t.Allocate(n));
  ASSERT_TRUE(ref.Allocate(n));
  const std::u16string ips[] = {u"10.0.0.1", u"10.0.0.2", u"10.0.0.3"};
  auto pick = [&](int k) { return static_cast<uint32_t>(rng() % static_cast<uint32_t>(k)); };
  for (int step = 0; step < 20000; ++step) {
    uint32_t tree = pick(3), pid = pick(2);
    uint64_t sid = pick(3) + (pick(2) ? 0x100000000ull : 0);
    const std::u16string& ip = ips[pick(3)];
    switch (pick(4)) {
      case 0: {  // set up an entry, as the tree and request handling do
        int32_t i = static_cast<int32_t>(pick(n));
        int32_t state = static_cast<int32_t>(pick(3));
        Set(t, i, state, tree, pid, sid, ip);
        Set(ref, i, state, tree, pid, sid, ip);
        break;
      }
      case 1: {
        int32_t i = static_cast<int32_t>(pick(n));
        t.Clear(i);
        ref.Clear(i);
        break;
      }
      default: {
        static const int32_t kModes[] = {0, 1, 2, 3, 4, 5, 6, 7};
        int32_t mode = kModes[pick(8)];
        ASSERT_EQ(t.NBL_AccessInfoGet(tree, pid, sid, ip.c_str(), mode),
                  ReferenceGet(ref, tree, pid, sid, ip, mode))
            << "step " << step << " mode " << mode;
      }
    }
  }
  for (int32_t i = 0; i < n; ++i) ASSERT_EQ(t[i].State, ref[i].State);
}

TEST(AccessInfoTable, ZeroEntriesAreRefused) {
  AccessInfoTable t;
  EXPECT_FALSE(t.Allocate(0));
  EXPECT_FALSE(t.Allocate(-3));
}

}  // namespace
}  // namespace nbl
