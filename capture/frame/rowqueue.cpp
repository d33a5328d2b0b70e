#include "capture/frame/rowqueue.h"

#include "capture/frame/nimbrel.h"

namespace nbl {
namespace {

// More waiting rows than this (a flood of requests within the delay) are
// written at once rather than held without bound.
constexpr size_t kMostWaiting = 4096;

}  // namespace

void RowQueue::SubmitText(Nimbrel& app, std::u16string echo, std::u16string row) {
  Item item;
  item.echo = std::move(echo);
  item.row = std::move(row);
  items_.push_back(std::move(item));
  Release(app, INT64_MIN);  // nothing before it waits: out at once
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
  Diag& diag = app.diag;
  if (!item.echo.empty()) {
    diag.Con(u"%s", item.echo);
    if (app.options.printf_sflushFlg != 0) diag.FlushConsole();
  }
  app.accessLog.WriteRowText(item.row);
}

}  // namespace nbl
