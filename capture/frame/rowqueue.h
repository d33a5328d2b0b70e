// Rows on their way to the access log. A CREATE or SET_INFO request is seen
// before the server acts on it, so the file it names is looked at a moment
// later (kExamineDelayMs of capture time); rows of other events that come in
// the meantime wait behind it, so the log keeps the order of the events and
// each row keeps the time of its own frame.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "capture/fileaccess/accessrow.h"

namespace nbl {

struct Nimbrel;

inline constexpr int64_t kExamineDelayMs = 1000;

class RowQueue {
 public:
  // A row that is complete, formatted into the shared message buffer (its
  // length given), with its console echo (empty for none). With nothing
  // waiting it is written at once, straight from the buffer.
  void SubmitText(Nimbrel& app, const std::u16string& echo, size_t rowLength);
  // A file row, examined and written once the capture has moved on by the delay.
  void SubmitFile(Nimbrel& app, std::unique_ptr<FileRowJob> job);
  // Writes, in order, every row whose time has come at capture time nowMs.
  void Release(Nimbrel& app, int64_t nowMs);
  // Writes everything that waits (end of the capture).
  void Flush(Nimbrel& app) { Release(app, INT64_MAX); }
  size_t size() const { return items_.size(); }

 private:
  struct Item {
    std::unique_ptr<FileRowJob> file;  // null for a complete row
    int64_t dueMs = 0;
    std::u16string echo;
    std::u16string row;
  };
  void WriteFront(Nimbrel& app);
  static void WriteText(Nimbrel& app, const std::u16string& echo, std::u16string_view row);

  std::deque<Item> items_;
};

}  // namespace nbl
