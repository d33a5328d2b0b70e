#include "capture/frame/rowqueue.h"

#include "capture/frame/nimbrel.h"

namespace nbl {
namespace {

// More waiting rows than this (a flood of requests within the delay) are
// written at once rather than held without bound.
constexpr size_t kMostWaiting = 4096;

}  // namespace

void RowQueue::SubmitText(Nimbrel& app, const std::u16string& echo, size_t rowLength) {
  std::u16string_view row(app.diag.message(), rowLength);
  if (items_.empty()) {
    WriteText(app, echo, row);
    return;
  }
  Item item;
  item.echo = echo;
  item.row = row;
  items_.push_back(std::move(item));
}

void RowQueue::WriteText(Nimbrel& app, const std::u16string& echo, std::u16string_view row) {
  Diag& diag = app.diag;
  if (!echo.empty()) {
    diag.Con(u"%s", echo);
    if (app.options.printf_sflushFlg != 0) diag.FlushConsole();
  }
  app.accessLog.WriteRowText(row);
}

void RowQueue::SubmitFile(Nimbrel& app, std::unique_ptr<FileRowJob> job) {
  Item item;
  item.dueMs = job->sec * 1000 + job->usec / 1000 + kExamineDelayMs;
  item.file = std::move(job);
  items_.push_back(std::move(item));
  while (items_.size() > kMostWaiting) WriteFront(app);
}

void RowQueue::Release(Nimbrel& app, int64_t nowMs) {
  while (!items_.empty() && (!items_.front().file || items_.front().dueMs <= nowMs))
    WriteFront(app);
}

void RowQueue::WriteFront(Nimbrel& app) {
  Item item = std::move(items_.front());
  items_.pop_front();
  if (item.file) {
    WriteAccessRow(app, *item.file);
    return;
  }
  WriteText(app, item.echo, item.row);
}

}  // namespace nbl
