// Runs catalogue searches on a worker thread so that a large archive never freezes the
// window. Rows, progress and the end reach the window's thread as queued signals; a new
// search, Cancel() or the runner's end stops the one running (its late results are dropped).
#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "replay/core/catalogue_search.h"

namespace replay {

class SearchRunner : public QObject {
  Q_OBJECT

 public:
  explicit SearchRunner(QObject* parent = nullptr) : QObject(parent) {}
  ~SearchRunner() override { Cancel(); }

  // `times`: where file times come from (empty: the file system).
  void Start(const SearchCriteria& criteria, std::vector<Drive> drives, FileTimesSource times = {});
  // Stops the running search and waits for its thread.
  void Cancel();
  bool Running() const { return running_; }

 signals:
  void rowsFound(const std::vector<replay::CatalogueRow>& rows);
  void progress(size_t folders_done, size_t folders_total, size_t files_found);
  void finished(size_t files, bool cancelled, const std::vector<char>& missing_drives);

 private:
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  uint64_t generation_ = 0;
  bool running_ = false;
};

}  // namespace replay
