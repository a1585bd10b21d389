// The task pool as its users see it: a full ring holds producers back, every task runs once and in order,
// destruction stops the workers and drops what is still queued.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "test_support.h"
#include "threads/thread_pool.h"

using namespace CoreLoom;
using namespace CoreLoomTest;

namespace {

// Records the order in which a worker ran the tasks; only the pool's single worker writes.
struct OrderTask : ThreadTask {
  void run() override {
    log->push_back(index);
    if (last) last->set();
  }
  std::vector<int>* log = nullptr;
  int index = 0;
  Signal* last = nullptr;
};

}  // namespace

TEST(ThreadPool, A33rdPushBlocksUntilAWorkerTakesATaskAndTasksRunInPushOrder) {
  ThreadPool pool("ring test", 1);
  GateTask gate;
  pool.push(&gate);
  ASSERT_TRUE(gate.started.waitFor(kPatience));  // the worker is now held: nothing leaves the ring

  const int count = ThreadPool::kRingSize + 1;
  std::vector<int> log;
  Signal ringFull, allPushed, allRun;
  std::vector<OrderTask> tasks(count);
  for (int i = 0; i < count; ++i) {
    tasks[i].log = &log;
    tasks[i].index = i;
  }
  tasks[count - 1].last = &allRun;
  std::thread producer([&] {
    for (int i = 0; i < count; ++i) {
      if (i == ThreadPool::kRingSize) ringFull.set();
      pool.push(&tasks[i]);
    }
    allPushed.set();
  });

  ASSERT_TRUE(ringFull.waitFor(kPatience)) << "the first 32 pushes must not wait for a worker";
  EXPECT_FALSE(allPushed.waitFor(kWatch)) << "the 33rd push returned while the ring was full";
  gate.open.set();
  EXPECT_TRUE(allPushed.waitFor(kPatience)) << "the 33rd push stayed blocked after the worker took a task";
  ASSERT_TRUE(allRun.waitFor(kPatience));
  producer.join();

  std::vector<int> expected(count);
  for (int i = 0; i < count; ++i) expected[i] = i;
  EXPECT_EQ(log, expected);
  EXPECT_EQ(gate.runs, 1);
}

TEST(ThreadPool, DestroyingAPoolWaitsForTheRunningTaskAndDropsTheQueuedOnes) {
  auto pool = std::make_unique<ThreadPool>("drop test", 1);
  GateTask gate;
  pool->push(&gate);
  ASSERT_TRUE(gate.started.waitFor(kPatience));
  std::vector<CountTask> queued(10);
  for (auto& task : queued) pool->push(&task);

  Signal destroying, destroyed;
  std::thread destroyer([&] {
    destroying.set();
    pool.reset();
    destroyed.set();
  });
  ASSERT_TRUE(destroying.waitFor(kPatience));
  // While it is watched the destructor raises the stop flag and then waits for the worker in its task.
  EXPECT_FALSE(destroyed.waitFor(kWatch)) << "destruction returned while a task was still running";
  gate.open.set();
  EXPECT_TRUE(destroyed.waitFor(kPatience)) << "destruction did not return after the running task ended";
  destroyer.join();

  EXPECT_EQ(gate.runs, 1);
  for (size_t i = 0; i < queued.size(); ++i) EXPECT_EQ(queued[i].runs, 0) << "queued task " << i << " ran";
}

TEST(ThreadPool, ManyProducersAndWorkersRunEveryTaskExactlyOnce) {
  constexpr int kProducers = 4, kPerProducer = 1500;
  std::vector<CountTask> tasks(kProducers * kPerProducer);
  std::atomic<int> finished{0};
  Signal allRun;
  struct Finisher : ThreadTask {
    void run() override {
      task->run();
      if (finished->fetch_add(1) + 1 == total) allRun->set();
    }
    CountTask* task = nullptr;
    std::atomic<int>* finished = nullptr;
    int total = 0;
    Signal* allRun = nullptr;
  };
  std::vector<Finisher> wrapped(tasks.size());
  for (size_t i = 0; i < tasks.size(); ++i) {
    wrapped[i].task = &tasks[i];
    wrapped[i].finished = &finished;
    wrapped[i].total = (int)tasks.size();
    wrapped[i].allRun = &allRun;
  }

  {
    ThreadPool pool("stress test", 3);
    EXPECT_EQ(pool.workerCount(), 3);
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
      producers.emplace_back([&, p] {
        for (int i = 0; i < kPerProducer; ++i) pool.push(&wrapped[(size_t)(p * kPerProducer + i)]);
      });
    for (auto& producer : producers) producer.join();
    ASSERT_TRUE(allRun.waitFor(kPatience));
  }
  int wrong = 0;
  for (auto& task : tasks) wrong += task.runs != 1;
  EXPECT_EQ(wrong, 0) << "tasks lost or run twice";
}
