// The file layer: local opens, the standard streams, shutdown records, the host
// hook route, temporary names and file name parts.
#include "runtime/file_layer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <vector>

#include "runtime/options.h"
#include "objects/byte_order.h"
#include "runtime/file_names.h"
#include "runtime/temp_names.h"
#include "support/stream_fixture.h"

namespace {

class FileLayer : public test_support::StreamFixture {};

TEST_F(FileLayer, StandardOutputIsNeitherOpenedNorClosed) {
  const int h = kiv::KIVopen("stdout", kiv::open_create, 2);
  EXPECT_EQ(h, STDOUT_FILENO);
  EXPECT_EQ(kiv::KIVclose(h), 0);
  EXPECT_NE(fcntl(STDOUT_FILENO, F_GETFD), -1);
}

TEST_F(FileLayer, CreateReplacesAReadOnlyFile) {
  const std::string name = dir.file("locked.txt");
  test_support::write_file(name, "old contents");
  chmod(name.c_str(), 0444);
  const int h = kiv::KIVopen(name.c_str(), kiv::open_create, 2);
  ASSERT_NE(h, -1);
  EXPECT_EQ(kiv::KIVwrite(h, "new", 3), 3);
  kiv::KIVclose(h);
  EXPECT_EQ(test_support::read_file(name), "new");
}

TEST_F(FileLayer, UpdateAndAppendCreateMissingFiles) {
  const std::string name = dir.file("log.txt");
  int h = kiv::KIVopen(name.c_str(), kiv::open_append, 0);
  kiv::KIVwrite(h, "one", 3);
  kiv::KIVclose(h);
  h = kiv::KIVopen(name.c_str(), kiv::open_append, 0);
  kiv::KIVwrite(h, "two", 3);
  kiv::KIVclose(h);
  EXPECT_EQ(test_support::read_file(name), "onetwo");
  h = kiv::KIVopen(name.c_str(), kiv::open_update, 0);
  EXPECT_EQ(kiv::KIVlseek(h, 0, 2), 6);
  kiv::KIVclose(h);
  EXPECT_EQ(kiv::KIVopen(dir.file("absent").c_str(), kiv::open_read, 0), -1);
  EXPECT_EQ(kiv::KIVGetSize(name.c_str()), 6);
  EXPECT_EQ(kiv::KIVCheckExist(name.c_str()), 0);
  EXPECT_EQ(kiv::KIVCheckExist(dir.file("absent").c_str()), -1);
}

TEST_F(FileLayer, TemporaryFilesAreRemovedAtShutdownUnlessAlreadyGone) {
  const std::string closed = dir.file("closed.tmp");
  const std::string removed = dir.file("removed.tmp");
  const std::string open_one = dir.file("open.tmp");
  kiv::KIVclose(kiv::KIVopen(closed.c_str(), kiv::open_create, kiv::kind_temporary));
  kiv::KIVclose(kiv::KIVopen(removed.c_str(), kiv::open_create, kiv::kind_temporary));
  EXPECT_EQ(kiv::KIVunlink(removed.c_str()), 0);
  const int h = kiv::KIVopen(open_one.c_str(), kiv::open_update, kiv::kind_temporary);
  // A file removed during the conversion is not removed again: creating a new
  // file of that name after the unlink must survive the shutdown.
  test_support::write_file(removed, "someone else's");
  // A temporary file that could not be made leaves no record: a file of that
  // name made later by someone else survives the shutdown too.
  const std::string unmade = dir.file("later/unmade.tmp");
  EXPECT_EQ(kiv::KIVopen(unmade.c_str(), kiv::open_create, kiv::kind_temporary), -1);
  std::filesystem::create_directory(dir.file("later"));
  test_support::write_file(unmade, "someone else's");
  // The intermediate file is never purged.
  kiv::KIVclose(kiv::KIVopen(kiv::settings.icfname, kiv::open_create, kiv::kind_temporary));
  RemovePurgeableFiles();
  EXPECT_TRUE(std::filesystem::exists(unmade));
  EXPECT_TRUE(std::filesystem::exists(kiv::settings.icfname));
  EXPECT_FALSE(std::filesystem::exists(closed));
  EXPECT_FALSE(std::filesystem::exists(open_one));
  EXPECT_TRUE(std::filesystem::exists(removed));
  EXPECT_EQ(fcntl(h, F_GETFD), -1);  // its handle was closed
}

TEST_F(FileLayer, RenameLinksAndRefusesToReplace) {
  const std::string a = dir.file("a"), b = dir.file("b");
  test_support::write_file(a, "x");
  EXPECT_EQ(kiv::KIVrename(a.c_str(), b.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(a));
  test_support::write_file(a, "y");
  EXPECT_EQ(kiv::KIVrename(a.c_str(), b.c_str()), -1);
  EXPECT_EQ(test_support::read_file(b), "x");
}

TEST_F(FileLayer, TemporaryNamesAreConsecutiveAndSkipTakenNumbers) {
  char first[256], second[256], third[256];
  ASSERT_EQ(kiv::gen_fnam(kiv::settings.icfname, first), 0);
  ASSERT_EQ(kiv::gen_fnam(kiv::settings.icfname, second), 0);
  const std::string dir_prefix = dir.file("KV");
  EXPECT_EQ(std::string(first).rfind(dir_prefix, 0), 0u) << first;
  EXPECT_EQ(std::string(first).substr(std::string(first).size() - 4), ".TMP");
  const long n1 = std::stol(std::string(first).substr(dir_prefix.size(), 6));
  const long n2 = std::stol(std::string(second).substr(dir_prefix.size(), 6));
  EXPECT_EQ(n2, (n1 + 1) % 1000000);
  char taken[256];
  std::snprintf(taken, sizeof taken, "%sKV%06ld.TMP", dir.file("").c_str(), (n2 + 1) % 1000000);
  test_support::write_file(taken, "");
  ASSERT_EQ(kiv::gen_fnam(kiv::settings.icfname, third), 0);
  EXPECT_EQ(std::stol(std::string(third).substr(dir_prefix.size(), 6)), (n2 + 2) % 1000000);
  RemovePurgeableFiles();
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_TRUE(std::filesystem::exists(taken));
}

TEST_F(FileLayer, TemporaryNameSearchIsBoundedInAnUnwritableDirectory) {
  if (geteuid() == 0) GTEST_SKIP() << "root can write anywhere";
  const std::string locked = dir.file("locked");
  std::filesystem::create_directory(locked);
  chmod(locked.c_str(), 0555);
  char out[256];
  EXPECT_EQ(kiv::gen_fnam((locked + "/base").c_str(), out), -1);
}

TEST_F(FileLayer, FileNameParts) {
  char out[512];
  const struct {
    const char *name;
    int part;
    const char *expected;
  } parts[] = {{"one/two/report.final.htm", 0, "report.final"}, {"one/two/report.final.htm", 1, "one/two/"},
               {"one/two/report.final.htm", 2, "htm"}, {"bare", 0, "bare"}, {"bare", 1, ""}, {"bare", 2, ""}};
  for (const auto &p : parts) {
    kiv::GetFileName(out, p.name, p.part);
    EXPECT_STREQ(out, p.expected) << p.name << " " << p.part;
  }
  char built[kiv::max_filename] = "pre-";
  EXPECT_EQ(kiv::BuildFileName("dir/", "name", "gif", 0, built), 0);
  EXPECT_STREQ(built, "pre-dir/name.gif");
  EXPECT_EQ(kiv::BuildFileName(nullptr, "x", "", 0, built), 0);
  EXPECT_STREQ(built, "pre-dir/name.gifx");
  // A name that would not fit is refused whole, never cut.
  const std::string long_part(kiv::max_filename - std::strlen(built) - 4, 'a');
  EXPECT_EQ(kiv::BuildFileName(nullptr, long_part.c_str(), "gif", 0, built), -1);
  EXPECT_STREQ(built, "pre-dir/name.gifx");
  EXPECT_EQ(kiv::BuildFileName(nullptr, long_part.c_str(), "gi", 0, built), 0);
  EXPECT_EQ(std::strlen(built), static_cast<std::size_t>(kiv::max_filename - 1));
  EXPECT_EQ(kiv::irev(0x1234, 0), 0x3412);
  EXPECT_EQ(kiv::lrev(0x12345678u, 1), 0x12345678u);
  EXPECT_EQ(kiv::lrev(0x12345678u, 0), 0x78563412u);
}

// An in-memory host holding one file (handle 0); a name of no file is missing.
std::string host_name, host_data;
long host_position = 0;
int host_open_file(const char *name, int mode, int) {
  if (mode == 1 && host_name != name) return -1;
  if (mode == 2) host_data.clear();
  host_name = name;
  host_position = mode == 4 ? static_cast<long>(host_data.size()) : 0;
  return 0;
}
int host_read(int, void *buffer, int n) {
  const long count = std::clamp<long>(static_cast<long>(host_data.size()) - host_position, 0, n);
  std::memcpy(buffer, host_data.data() + host_position, static_cast<std::size_t>(count));
  host_position += count;
  return static_cast<int>(count);
}
int host_write(int, const void *buffer, int n) {
  if (static_cast<long>(host_data.size()) < host_position + n) host_data.resize(static_cast<std::size_t>(host_position + n));
  std::memcpy(host_data.data() + host_position, buffer, static_cast<std::size_t>(n));
  host_position += n;
  return n;
}
long host_lseek(int, long offset, int whence) {
  const long base = whence == 0 ? 0 : whence == 1 ? host_position : static_cast<long>(host_data.size());
  return base + offset < 0 ? -1 : host_position = base + offset;
}
int host_close(int) { return 0; }
int host_unlink(const char *name) {
  if (host_name != name) return -1;
  host_name.clear();
  return 0;
}
int host_rename(const char *, const char *) { return -1; }
long host_size(const char *name) { return host_name == name ? static_cast<long>(host_data.size()) : -1; }
int host_exists(const char *name) { return host_name == name ? 0 : 1; }

const kiv::HostFileHooks memory_host = {host_open_file, host_read, host_write, host_lseek, host_close,
                                        host_unlink,    host_rename, host_size, host_exists};
const kiv::HostFileHooks no_host = {};

TEST_F(FileLayer, HostRouteUsesTheHooksAndRecordsNothing) {
  host_name.clear();
  kiv::override_host_file_hooks(&memory_host);
  kiv::settings.optflags |= kiv::opt_host_files;
  const int h = kiv::KIVopen("doc.html", kiv::open_create, kiv::kind_temporary);
  ASSERT_EQ(h, 0);
  EXPECT_EQ(kiv::KIVwrite(h, "hello", 5), 5);
  EXPECT_FALSE(kiv::KIVcan_copy(h));  // the host's files are reached through its hooks only
  EXPECT_EQ(kiv::KIVcopy(h, 0, h, 5), -1);
  EXPECT_EQ(kiv::KIVlseek(h, 1, 0), 1);
  char got[4] = {};
  EXPECT_EQ(kiv::KIVread(h, got, 3), 3);
  EXPECT_STREQ(got, "ell");
  EXPECT_EQ(kiv::KIVGetSize("doc.html"), 5);
  EXPECT_EQ(kiv::KIVCheckExist("nothing"), 1);
  EXPECT_EQ(kiv::file_layer.PurgeableFileName[0], nullptr);
  EXPECT_EQ(kiv::KIVunlink("doc.html"), 0);
  EXPECT_EQ(host_name, "");
  // A host without hooks: every operation of the route fails.
  kiv::override_host_file_hooks(&no_host);
  EXPECT_EQ(kiv::KIVopen("doc.html", kiv::open_read, 1), -1);
  EXPECT_EQ(kiv::KIVread(0, got, 1), -1);
  EXPECT_EQ(kiv::KIVGetSize("doc.html"), -1);
  kiv::override_host_file_hooks(nullptr);
}

TEST_F(FileLayer, PipeAndQueueRoutesFailUntilAvailable) {
  kiv::settings.optflags |= kiv::opt_pipes;
  EXPECT_EQ(kiv::KIVopen(dir.file("x").c_str(), kiv::open_create, 0), -1);
  kiv::settings.optflags = kiv::opt_host_files;
  kiv::settings.IPCMsgQueueID = 3;
  EXPECT_EQ(kiv::KIVopen(dir.file("x").c_str(), kiv::open_create, 0), -1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
}

}  // namespace
