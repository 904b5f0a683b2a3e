// Progress display, the error exit and the exception list.
#include <gtest/gtest.h>

#include <sys/ipc.h>
#include <sys/msg.h>

#include "runtime/error_exit.h"
#include "runtime/exception_list.h"
#include "runtime/options.h"
#include "runtime/progress.h"
#include "stream/buffered_io.h"
#include "support/fake_host.h"
#include "support/stream_fixture.h"

namespace {

class ProgressAndErrors : public test_support::StreamFixture {};

TEST_F(ProgressAndErrors, SmallSourceFillsTheBarAfterOneHundredBytes) {
  kiv::settings.optflags = 0;
  testing::internal::CaptureStdout();
  kiv::dspinit(50, 0, 2);
  EXPECT_EQ(kiv::progress.DispDotSize, 1u);
  kiv::dspcheck(100);
  EXPECT_EQ(kiv::GetCurrentPercentComplete(), 100);
  kiv::dsppad();
  const std::string shown = testing::internal::GetCapturedStdout();
  EXPECT_NE(shown.find("0%        25%           50%         75%         100%"), std::string::npos);
  EXPECT_NE(shown.find(">" + std::string(50, '.') + "<\r"), std::string::npos);
}

TEST_F(ProgressAndErrors, PercentageDisplayAndNoDisplay) {
  kiv::settings.optflags = kiv::opt_progress_percent;
  testing::internal::CaptureStdout();
  kiv::dspinit(1000, 0, 2);
  kiv::dspcheck(40);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n000\r002%\r004%\r");
  kiv::settings.optflags = kiv::opt_no_progress;
  testing::internal::CaptureStdout();
  kiv::dspinit(1000, 0, 2);
  kiv::dspcheck(500);
  kiv::dsppad();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(kiv::GetCurrentPercentComplete(), 0);
}

TEST_F(ProgressAndErrors, NegativeCountsBelowZeroAreUndone) {
  kiv::dspinit(1000, 0, 2);
  kiv::dspcheck(5);
  kiv::dspcheck(-3);
  EXPECT_EQ(kiv::progress.DispCurrentCount, 2u);
  kiv::dspcheck(-10);
  EXPECT_EQ(kiv::progress.DispCurrentCount, 2u);
}

TEST_F(ProgressAndErrors, DisplayProcessIdsBelowOneAreNeverSignalled) {
  // A signal to 0 or -1 would reach whole process groups, this test's included:
  // the default action of SIGUSR1 would end it.
  kiv::settings.optflags = 0;
  for (long pid : {0L, -1L, -77L}) {
    kiv::settings.display_pid = pid;
    testing::internal::CaptureStdout();
    kiv::dspinit(100, 0, 2);
    kiv::dspcheck(100);
    kiv::dsppad();
    const std::string shown = testing::internal::GetCapturedStdout();
    if (pid != 0) {
      EXPECT_EQ(shown, "") << pid;
    }
  }
}

TEST_F(ProgressAndErrors, ProgressTravelsOnTheMessageQueue) {
  const int queue = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
  ASSERT_NE(queue, -1);
  kiv::settings.IPCMsgQueueID = queue;
  kiv::settings.optflags = 0;
  kiv::dspinit(100, 0, 2);
  kiv::dspcheck(4);
  kiv::dsppad();
  struct { long type; char text[16]; } message{};
  std::vector<std::string> texts;
  ssize_t n;
  while ((n = msgrcv(queue, &message, sizeof message.text, 0, IPC_NOWAIT)) >= 0) {
    EXPECT_EQ(message.type, 1);
    texts.emplace_back(message.text, static_cast<std::size_t>(n));
  }
  msgctl(queue, IPC_RMID, nullptr);
  ASSERT_EQ(texts.size(), 51u);
  EXPECT_EQ(texts.front(), "2");
  EXPECT_EQ(texts[49], "100");
  EXPECT_EQ(texts.back(), "END");
}

TEST_F(ProgressAndErrors, WarningsAreRecordedAndFatalCodesEndTheConversion) {
  EXPECT_EQ(kiv::err_exit(5), 0);
  EXPECT_EQ(kiv::err_exit(5), 0);
  EXPECT_EQ(kiv::errors.last_err, 5);
  EXPECT_EQ(kiv::errors.w_err, 1);
  EXPECT_EQ(kiv::CancelCheck(), 0);
  try {
    kiv::err_exit(4);
    ADD_FAILURE() << "a fatal code returned";
  } catch (const kiv::ExitRequest &request) {
    EXPECT_EQ(request.code, 4);
  }
  EXPECT_EQ(kiv::errors.last_err, 4);
  EXPECT_EQ(kiv::CancelCheck(), 1);
  EXPECT_EQ(kiv::errors.KIVCancel, 1);
  // Once a fatal code is recorded it stays, though the code passed in ends the run.
  EXPECT_EQ(kiv::err_exit(12), 0);
  EXPECT_EQ(kiv::errors.last_err, 4);
  EXPECT_THROW(kiv::err_exit(8), kiv::ExitRequest);
  EXPECT_EQ(kiv::errors.last_err, 4);
}

TEST_F(ProgressAndErrors, ExceptionListHasItsHeaderOnceAndOneLineACodeOrIsReported) {
  const std::string list = dir.file("except.lst");
  kiv::settings.optflags = kiv::opt_exception_list | kiv::opt_no_progress;
  open_streams(test_support::assemble("QQQ 1|{TAB}|}ZZ9}SOD 5|}tail"));
  ASSERT_EQ(kiv::exopen(list.c_str()), 0);
  for (int i = 0; i < 3; ++i) {
    char name[4] = {};
    for (int k = 0; k < 3; ++k) name[k] = static_cast<char>(kiv::b_getc());
    EXPECT_EQ(kiv::except(-1, -1, name), 0);
    EXPECT_EQ(name[0], 0x1E);
  }
  kiv::exclose();
  EXPECT_EQ(read_rest(), "tail");
  EXPECT_EQ(test_support::read_file(list),
            std::string("KIVO CONVERTS Exception List \0\r\n\r\n\r\n<QQQ>\r\n<ZZ9>\r\n", 50));
  EXPECT_EQ(kiv::ex.size(), 45u);
  // A list that cannot be opened is reported, unless the marks go into the document.
  kiv::settings.optflags = kiv::opt_exception_list;
  EXPECT_EQ(kiv::exopen(dir.file("no/such/dir/list").c_str()), 6);
  kiv::settings.optflags = kiv::opt_exception_list | kiv::opt_exceptions_inline;
  EXPECT_EQ(kiv::exopen(dir.file("no/such/dir/list").c_str()), 0);
}

}  // namespace
