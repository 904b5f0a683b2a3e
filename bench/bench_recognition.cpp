// Recognition speed: blocks per second of AutoRecBlock over a mixed set of 4 KB
// blocks and files per second of autorec over a folder of small files, with the
// system's magic-number library on the same blocks and files as the peer.
#include <benchmark/benchmark.h>
#include <icf2html.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/temp_dir.h"

#ifdef ICF_HAVE_MAGIC
#include <magic.h>
#endif

namespace {

using Block = std::vector<unsigned char>;
constexpr std::size_t block_size = 4096;

Block text_block(std::mt19937 &random, const char *line_end) {
  static constexpr char words[][8] = {"the", "quick", "format", "of", "a", "file", "is", "known", "by", "its"};
  std::string s;
  while (s.size() < block_size) {
    for (int w = 0; w < 9; ++w) s += std::string(words[random() % 10]) + " ";
    s += line_end;
  }
  return Block(s.begin(), s.begin() + block_size);
}

Block with_head(std::mt19937 &random, std::initializer_list<int> head, bool random_body) {
  Block b(block_size, 0);
  if (random_body) {
    for (auto &c : b) c = static_cast<unsigned char>(random());
  }
  std::size_t i = 0;
  for (int v : head) b[i++] = static_cast<unsigned char>(v);
  return b;
}

Block with_text_head(std::mt19937 &random, const std::string &head) {
  Block b = text_block(random, "\n");
  std::memcpy(b.data(), head.data(), head.size());
  return b;
}

// Text, markup, documents, pictures, archives and random bytes.
std::vector<Block> mixed_blocks() {
  std::mt19937 random(20240601);
  std::vector<Block> blocks;
  for (int round = 0; round < 4; ++round) {
    blocks.push_back(text_block(random, "\n"));
    blocks.push_back(text_block(random, "\r\n"));
    blocks.push_back(with_text_head(random, "<!DOCTYPE HTML PUBLIC><HTML><HEAD><TITLE>t</TITLE>"));
    blocks.push_back(with_text_head(random, "{\\rtf1\\ansi\\deff0 "));
    blocks.push_back(with_text_head(random, "%!PS-Adobe-3.0\n"));
    blocks.push_back(with_text_head(random, "%PDF-1.4\n"));
    blocks.push_back(with_head(random, {'G', 'I', 'F', '8', '9', 'a'}, true));
    blocks.push_back(with_head(random, {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0}, true));
    blocks.push_back(with_head(random, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, true));
    blocks.push_back(with_head(random, {0x0A, 5, 1, 8}, true));
    blocks.push_back(with_head(random, {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0}, true));
    blocks.push_back(with_head(random, {0xFF, 'W', 'P', 'C', 16, 0, 0, 0, 1, 10, 0, 1}, true));
    blocks.push_back(with_head(random, {'P', 'K', 3, 4}, true));
    blocks.push_back(with_head(random, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}, false));
    blocks.push_back(with_head(random, {}, true));
    blocks.push_back(with_head(random, {}, false));
  }
  return blocks;
}

// The blocks written as files in a temporary folder, removed at exit.
struct BlockFiles {
  test_support::TempDir dir;
  std::vector<std::string> names;
  BlockFiles() {
    const std::vector<Block> blocks = mixed_blocks();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      names.push_back(dir.file("block" + std::to_string(i)));
      test_support::write_file(names.back(), std::string(blocks[i].begin(), blocks[i].end()));
    }
  }
};

BlockFiles &block_files() {
  static BlockFiles files;
  return files;
}

void BM_AutoRecBlock(benchmark::State &state) {
  const std::vector<Block> blocks = mixed_blocks();
  std::int64_t recognised = 0;
  for (auto _ : state) {
    for (const Block &b : blocks) {
      int variant = 0;
      const int code = AutoRecBlock(b.data(), static_cast<int>(b.size()), 0, &variant);
      benchmark::DoNotOptimize(code);
      recognised += code > 0;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(blocks.size()));
  state.counters["recognised"] = static_cast<double>(recognised) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AutoRecBlock);

void BM_autorec_files(benchmark::State &state) {
  const BlockFiles &files = block_files();
  for (auto _ : state) {
    for (const std::string &name : files.names) {
      int variant = 0;
      benchmark::DoNotOptimize(autorec(name.c_str(), &variant));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.names.size()));
}
BENCHMARK(BM_autorec_files);

#ifdef ICF_HAVE_MAGIC
// The peer: one loaded magic database, as a host would keep it.
struct MagicCookie {
  magic_t cookie = magic_open(MAGIC_NONE);
  MagicCookie() { magic_load(cookie, nullptr); }
  ~MagicCookie() { magic_close(cookie); }
};

void BM_peer_magic_buffer(benchmark::State &state) {
  const std::vector<Block> blocks = mixed_blocks();
  MagicCookie magic;
  for (auto _ : state) {
    for (const Block &b : blocks) benchmark::DoNotOptimize(magic_buffer(magic.cookie, b.data(), b.size()));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(blocks.size()));
}
BENCHMARK(BM_peer_magic_buffer);

void BM_peer_magic_file(benchmark::State &state) {
  const BlockFiles &files = block_files();
  MagicCookie magic;
  for (auto _ : state) {
    for (const std::string &name : files.names) benchmark::DoNotOptimize(magic_file(magic.cookie, name.c_str()));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.names.size()));
}
BENCHMARK(BM_peer_magic_file);
#endif

}  // namespace

BENCHMARK_MAIN();
