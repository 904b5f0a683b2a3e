// Batch workers bound to processors: the order they take them in, and claims
// that keep two workers, of one batch or of two, off the same processor.
#include "processor_binding.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace {

using icf2html::binding_order;
using icf2html::Processor;

TEST(ProcessorBinding, WorkersTakeOneProcessorOfEveryCoreFirst) {
  // Two threads per core, numbered side by side.
  EXPECT_EQ(binding_order({{0, 0, 0}, {1, 0, 0}, {2, 0, 1}, {3, 0, 1}}), (std::vector<int>{0, 2, 1, 3}));
  // Numbered a core apart, and listed out of order.
  EXPECT_EQ(binding_order({{4, 0, 0}, {1, 0, 1}, {5, 0, 1}, {0, 0, 0}}), (std::vector<int>{0, 1, 4, 5}));
  // Two packages with the same core numbers: four cores.
  EXPECT_EQ(binding_order({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}}), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(binding_order({}).empty());
}

TEST(ProcessorBinding, TheKernelsListIsWhatThisProcessMayRunOn) {
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  const std::vector<Processor> processors = icf2html::allowed_processors();
  ASSERT_EQ(processors.size(), static_cast<std::size_t>(CPU_COUNT(&allowed)));
  for (const Processor &p : processors) EXPECT_TRUE(CPU_ISSET(p.cpu, &allowed)) << p.cpu;
}

// A worker of its own: claims `claims` times and tells each result, then the
// processor it runs on.
void claim_and_tell(const std::vector<int> &order, int claims, int to) {
  if (fork() != 0) {
    wait(nullptr);
    return;
  }
  for (int i = 0; i < claims; ++i) {
    const int cpu = icf2html::bind_to_free_processor(order);
    if (write(to, &cpu, sizeof cpu) != sizeof cpu) _exit(1);
  }
  const int running = sched_getcpu();
  _exit(write(to, &running, sizeof running) == sizeof running ? 0 : 1);
}

// Claims are names the whole machine shares: the workers here claim in a
// network namespace of their own, so that a batch running beside the test
// changes nothing; the test program itself stays unbound.
TEST(ProcessorBinding, AClaimedProcessorGoesToNoOtherWorkerUntilItsHolderEnds) {
  const std::vector<int> order = binding_order(icf2html::allowed_processors());
  ASSERT_GT(order.size(), 0u);
  int results[2];
  ASSERT_EQ(pipe(results), 0);
  const pid_t machine = fork();
  if (machine == 0) {
    close(results[0]);
    if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) _exit(2);
    // One claim more than there are processors: each is claimed once, then none is left.
    claim_and_tell(order, static_cast<int>(order.size()) + 1, results[1]);
    // Those claims ended with their worker. While this process holds the
    // first processor, the next worker gets the second.
    const int held = icf2html::bind_to_free_processor(order);
    if (write(results[1], &held, sizeof held) != sizeof held) _exit(1);
    if (order.size() > 1) claim_and_tell(order, 1, results[1]);
    _exit(0);
  }
  close(results[1]);
  std::vector<int> got;
  for (int value = 0; read(results[0], &value, sizeof value) == sizeof value;) got.push_back(value);
  close(results[0]);
  int status = 0;
  waitpid(machine, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 2) GTEST_SKIP() << "no network namespace of its own";
  std::vector<int> expected = order;
  expected.insert(expected.end(), {-1, order.back(), order.front()});
  if (order.size() > 1) expected.insert(expected.end(), {order[1], order[1]});
  EXPECT_EQ(got, expected);
}

}  // namespace
