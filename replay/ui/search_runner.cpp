#include "replay/ui/search_runner.h"

#include <QMetaObject>
#include <QPointer>

namespace replay {

void SearchRunner::Cancel() {
  if (cancel_) cancel_->store(true);
  if (thread_.joinable()) thread_.join();
  cancel_.reset();
  ++generation_;  // whatever the old search still queued is dropped
  running_ = false;
}

void SearchRunner::Start(const SearchCriteria& criteria, std::vector<Drive> drives, FileTimesSource times) {
  Cancel();
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  running_ = true;
  const uint64_t generation = generation_;
  // Queued calls run on this object's thread, and only while the search is still the current
  // one; the runner outlives none of them (Cancel joins before it is destroyed).
  const auto post = [this, generation](auto&& call) {
    QMetaObject::invokeMethod(
        this,
        [this, generation, call = std::forward<decltype(call)>(call)]() mutable {
          if (generation == generation_) call();
        },
        Qt::QueuedConnection);
  };
  SearchHooks hooks;
  hooks.cancel = cancel_.get();
  hooks.times = std::move(times);
  hooks.rows = [this, post](std::vector<CatalogueRow>&& rows) {
    post([this, rows = std::move(rows)] { emit rowsFound(rows); });
  };
  hooks.progress = [this, post](const SearchProgress& p) {
    post([this, p] { emit progress(p.folders_done, p.folders_total, p.files_found); });
  };
  thread_ = std::thread([this, criteria, drives = std::move(drives), hooks = std::move(hooks), post] {
    const SearchSummary summary = RunSearch(criteria, drives, hooks);
    post([this, summary] {
      running_ = false;
      emit finished(summary.files, summary.cancelled, summary.missing_drives);
    });
  });
}

}  // namespace replay
