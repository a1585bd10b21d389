// ThreadTask: one unit of work handed to a ThreadPool; the submitter owns it and keeps it alive until it has run.
#pragma once

namespace CoreLoom {

class ThreadTask {
 public:
  virtual ~ThreadTask() = default;
  // Runs on a worker of the pool, outside every lock of the pool.
  virtual void run() = 0;
};

}  // namespace CoreLoom
