// The process-wide visuals pool: editors opening at once share one pool on one named worker, the last close
// deletes it, and closing and opening racing each other never hand out a pool that is being deleted.
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "threads/visuals_pool.h"

using namespace CoreLoom;
using namespace CoreLoomTest;

namespace {

// A frame's visuals job: runs on the pool's worker and tells the waiting frame when it is done.
struct JobTask : ThreadTask {
  void run() override {
    workerName = currentThreadName();
    done.set();
  }
  std::string workerName;
  Signal done;
};

}  // namespace

TEST(VisualsPool, FramesAcquiringAtOnceShareOnePoolThatTheLastReleaseDeletes) {
  VisualsPoolHolder& holder = visualsPoolHolder();
  ASSERT_EQ(holder.references(), 0);
  ASSERT_FALSE(holder.hasPool());

  constexpr int kFrames = 4;
  std::latch together(kFrames);
  std::vector<IVisualsPool*> seen(kFrames, nullptr);
  std::vector<std::thread> frames;
  for (int i = 0; i < kFrames; ++i)
    frames.emplace_back([&, i] {
      together.arrive_and_wait();
      seen[(size_t)i] = holder.acquire();
    });
  for (auto& frame : frames) frame.join();

  ASSERT_NE(seen[0], nullptr);
  for (IVisualsPool* pool : seen) EXPECT_EQ(pool, seen[0]);
  EXPECT_EQ(holder.references(), kFrames);
  EXPECT_EQ(seen[0]->name(), "Loom visuals");
  EXPECT_EQ(seen[0]->workerCount(), 1);

  JobTask job;
  seen[0]->push(&job);
  ASSERT_TRUE(job.done.waitFor(kPatience));
  EXPECT_EQ(job.workerName, "Loom visuals") << "debuggers and process viewers show the worker by this name";

  for (int i = 1; i < kFrames; ++i) holder.release();
  EXPECT_TRUE(holder.hasPool()) << "a frame still holds the pool";
  holder.release();
  EXPECT_FALSE(holder.hasPool());
  holder.release();  // a release without a reference changes nothing
  EXPECT_EQ(holder.references(), 0);

  // The next editor gets a new, working pool.
  IVisualsPool* again = holder.acquire();
  JobTask second;
  again->push(&second);
  EXPECT_TRUE(second.done.waitFor(kPatience));
  holder.release();
  EXPECT_FALSE(holder.hasPool());
}

TEST(VisualsPool, ReleaseAndAcquireRacingNeverHandOutAPoolBeingDeleted) {
  VisualsPoolHolder holder;
  constexpr int kFrames = 3, kRounds = 150;
  std::atomic<int> jobsRun{0}, jobsLost{0};
  std::latch together(kFrames);
  std::vector<std::thread> frames;
  for (int f = 0; f < kFrames; ++f)
    frames.emplace_back([&] {
      together.arrive_and_wait();
      for (int round = 0; round < kRounds; ++round) {
        // Open an editor, run one visuals job as a frame does (waiting for it), close the editor.
        IVisualsPool* pool = holder.acquire();
        JobTask job;
        pool->push(&job);
        if (job.done.waitFor(kPatience)) {
          ++jobsRun;
        } else {
          ++jobsLost;
          return;  // the job's pool died under it; the job may still be referenced, so stop here
        }
        holder.release();
        std::this_thread::yield();
      }
    });
  for (auto& frame : frames) frame.join();

  EXPECT_EQ(jobsLost, 0);
  EXPECT_EQ(jobsRun, kFrames * kRounds);
  EXPECT_EQ(holder.references(), 0);
  EXPECT_FALSE(holder.hasPool());
}
