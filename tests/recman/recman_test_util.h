// Helpers for the record manager tests: create definitions, calls with
// fixed-size buffers, records.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/recman/engine.h"
#include "platform/recman/recman.h"
#include "tests/support/test_support.h"

namespace recmantest {

// The engines every case runs on: SQLite files, and tables on the server
// whose connection string is in KOVA_TEST_PG (those cases are skipped
// without it).
enum class Engine { kFiles, kServer };

using testsupport::TestServer;

inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::kFiles ? "Files" : "Server";
}


struct Seg {
  int position;  // 1-based
  int length;
  int flags;
};
using Key = std::vector<Seg>;  // segments of one key (0x0010 added between them)

inline void Put16(std::string& s, std::size_t at, int v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline int Get16(const std::string& s, std::size_t at) {
  return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}
inline std::uint32_t Get32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// Create definition; `acs` (256 bytes) appended when not empty.
inline std::string Spec(int recordLength, const std::vector<Key>& keys, const std::string& acs = "") {
  std::string s(16, '\0');
  Put16(s, 0, recordLength);
  Put16(s, 2, 4096);
  Put16(s, 4, static_cast<int>(keys.size()));
  for (const Key& key : keys) {
    for (std::size_t i = 0; i < key.size(); ++i) {
      std::string k(16, '\0');
      Put16(k, 0, key[i].position);
      Put16(k, 2, key[i].length);
      Put16(k, 4, key[i].flags | (i + 1 < key.size() ? recman::kKeySegmented : 0));
      s += k;
    }
  }
  if (!acs.empty()) s += std::string("\xAC") + "UPPER   " + acs;
  return s;
}

// A 1536-byte data buffer and a 255-byte key buffer, as the access layer uses them.
struct Io {
  std::string data = std::string(1536, '\0');
  std::string key = std::string(255, '\0');
  std::uint32_t dataLength = 1536;
  std::int16_t status = 0;
};

struct File {
  unsigned char pos[recman::kPositionBlockSize] = {};
};

inline std::int16_t Create(const std::string& path, const std::string& spec, int keyNumber = -1) {
  std::string data = spec;
  data.resize(1536, '\0');
  std::string key = path;
  key.resize(255, '\0');
  std::uint32_t len = 1536;
  return recman::BTRCALL(recman::kOpCreate, nullptr, data.data(), &len, key.data(), 255,
                         static_cast<std::int8_t>(keyNumber));
}

inline std::int16_t Open(File& f, const std::string& path, int mode = 0) {
  std::memset(f.pos, 0, sizeof f.pos);
  char owner[5] = {};
  std::uint32_t len = 5;
  std::string key = path;
  key.resize(255, '\0');
  return recman::BTRCALL(recman::kOpOpen, f.pos, owner, &len, key.data(), 255, static_cast<std::int8_t>(mode));
}

inline std::int16_t Insert(File& f, const std::string& record, int keyNumber = 0) {
  std::string data = record;
  std::string key(255, '\0');
  std::uint32_t len = static_cast<std::uint32_t>(data.size());
  return recman::BTRCALL(recman::kOpInsert, f.pos, data.data(), &len, key.data(), 255,
                         static_cast<std::int8_t>(keyNumber));
}

// A read: `key` is the key value passed (padded with zero bytes to 255).
inline Io Read(File& f, int op, int keyNumber, const std::string& key = "", std::uint32_t dataLength = 1536) {
  Io io;
  std::memcpy(io.key.data(), key.data(), key.size() < 255 ? key.size() : 255);
  io.dataLength = dataLength;
  io.status = recman::BTRCALL(op, f.pos, io.data.data(), &io.dataLength, io.key.data(), 255,
                              static_cast<std::int8_t>(keyNumber));
  io.data.resize(io.dataLength);
  return io;
}

inline std::int16_t Reset() {
  std::uint32_t len = 0;
  unsigned char pos[recman::kPositionBlockSize] = {};
  return recman::BTRCALL(recman::kOpReset, pos, nullptr, &len, nullptr, 0, 0);
}

// A write (or Begin/End/Abort) with `record` as the data buffer.
inline std::int16_t Write(File& f, int op, const std::string& record) {
  std::string data = record, key(255, '\0');
  std::uint32_t len = static_cast<std::uint32_t>(data.size());
  return recman::BTRCALL(op, f.pos, data.data(), &len, key.data(), 255, 0);
}

// The first four bytes of every key along `key`, each followed by a blank.
inline std::string Walk(File& f, int key = 0) {
  std::string out;
  for (Io r = Read(f, recman::kOpGetFirst, key); r.status == 0; r = Read(f, recman::kOpGetNext, key)) {
    out += r.key.substr(0, 4) + " ";
  }
  return out;
}

// Record of `length` bytes holding `text` at 0-based `at` (rest zero).
inline std::string Record(int length, const std::string& text, int at = 0) {
  std::string r(static_cast<std::size_t>(length), '\0');
  r.replace(static_cast<std::size_t>(at), text.size(), text);
  return r;
}

// A fixture on one engine with a fresh folder; on the server in a schema of
// its own, with the tables named after the folder's paths (no data root).
class EngineTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (OnServer()) {
      if (TestServer().empty()) GTEST_SKIP() << "no server: KOVA_TEST_PG is not set";
      schema = std::make_unique<testsupport::ServerSchema>();
      ASSERT_TRUE(schema->ok) << "cannot make a schema on the test server";
      recman::UseServer(TestServer(), "");
    }
  }
  void TearDown() override {
    Reset();
    recman::UseServer("", "");
    schema.reset();
  }
  bool OnServer() const { return GetParam() == Engine::kServer; }
  std::string Path(const std::string& name) { return dir.path + name; }
  testsupport::TempDir dir;
  std::unique_ptr<testsupport::ServerSchema> schema;
};

#define KOVA_ON_BOTH_ENGINES(Suite)                                                                   \
  INSTANTIATE_TEST_SUITE_P(Engines, Suite,                                                            \
                           ::testing::Values(::recmantest::Engine::kFiles, ::recmantest::Engine::kServer), \
                           ::recmantest::EngineName)
// Cases about what only the SQLite files have.
#define KOVA_ON_FILES_ONLY(Suite) \
  INSTANTIATE_TEST_SUITE_P(Engines, Suite, ::testing::Values(::recmantest::Engine::kFiles), ::recmantest::EngineName)

}  // namespace recmantest
