// Killed writers and concurrent processes on one Paradox table (with .PX, a secondary index and
// blobs): after a kill at any write the table opens, passes its check and holds exactly the
// changes that had returned (plus, possibly, the one in flight); record locks die with their
// process; two processes inserting at once lose and duplicate nothing.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <tuple>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/fault_file_system.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {

// id -> (Num, memo length, photo length); memo and photo contents follow from their length (a
// record keeps them when its key changes).
using Model = std::map<int, std::tuple<int, std::size_t, std::size_t>>;
constexpr int kOps = 19;

FieldDef field(const std::string& name, FieldType type, char native, int width = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.native = native;
  f.width = width;
  return f;
}

std::string memoOf(std::size_t n) { return std::string(n, static_cast<char>('a' + n % 26)); }
Bytes photoOf(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + n);
  return b;
}

void put(Table& t, Record& r, int id, int num, std::size_t memo, std::size_t photo) {
  t.set(r, "Id", Value::number(id));
  t.set(r, "Num", Value::number(num));
  t.set(r, "Memo", memo ? Value::text(memoOf(memo)) : Value::blank());
  t.set(r, "Photo", photo ? Value::bytes(photoOf(photo)) : Value::blank());
}

// Operation j on the model and on the table.
void step(Table* t, Model& m, int j) {
  auto find = [&](int id) {
    auto c = t->openCursor();
    if (!c->seek({Value::number(id)})) throw std::runtime_error("lost record " + std::to_string(id));
    return c;
  };
  if (j == kOps - 1) {
    if (t) t->empty();
    m.clear();
  } else if (j % 6 == 1 && m.count(j - 1)) {
    std::tuple<int, std::size_t, std::size_t> now{j * 3, 3000 - static_cast<std::size_t>(j) * 100, 0};
    if (t) {
      Record r = find(j - 1)->record();
      put(*t, r, j - 1, std::get<0>(now), std::get<1>(now), std::get<2>(now));
      t->update(r);
    }
    m[j - 1] = now;
  } else if (j % 6 == 3 && m.count(j - 1)) {
    auto v = m[j - 1];
    if (t) {
      Record r = find(j - 1)->record();
      t->set(r, "Id", Value::number(j + 1000));
      t->update(r);
    }
    m.erase(j - 1);
    m[j + 1000] = v;
  } else if (j % 6 == 4 && m.count(j - 4)) {
    if (t) t->remove(find(j - 4)->bookmark());
    m.erase(j - 4);
  } else {
    std::tuple<int, std::size_t, std::size_t> v{j % 5, static_cast<std::size_t>(150 + j * 230), j % 4 == 0 ? 20000u + static_cast<std::size_t>(j) * 997 : 0u};
    if (t) {
      Record r = t->blankRecord();
      put(*t, r, j, std::get<0>(v), std::get<1>(v), std::get<2>(v));
      t->insert(r);
    }
    m[j] = v;
  }
}

Model modelAfter(int ops) {
  Model m;
  for (int i = 0; i < 6; ++i) m[-1 - i] = {i, 100u * static_cast<std::size_t>(i), i == 2 ? 9000u : 0u};
  for (int j = 0; j < ops; ++j) step(nullptr, m, j);
  return m;
}

Model contents(Table& t) {
  Model m;
  auto c = t.openCursor();
  for (bool ok = c->first(); ok; ok = c->next()) {
    int id = static_cast<int>(t.get(c->record(), "Id").asNumber());
    std::string memo = t.get(c->record(), "Memo").asText();
    Bytes photo = t.get(c->record(), "Photo").asBytes();
    EXPECT_EQ(memo, memoOf(memo.size()));
    EXPECT_EQ(photo, photoOf(photo.size()));
    m[id] = {static_cast<int>(t.get(c->record(), "Num").asNumber()), memo.size(), photo.size()};
  }
  auto byNum = t.openCursor("ByNum");
  std::size_t n = 0;
  for (bool ok = byNum->first(); ok; ok = byNum->next()) ++n;
  EXPECT_EQ(n, m.size());
  return m;
}

std::string makeTable(const TempDir& dir) {
  TableDef def;
  def.format = Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {field("Id", FieldType::Integer, 'I'), field("Num", FieldType::Integer, 'S'),
                field("Memo", FieldType::Memo, 'M', 20), field("Photo", FieldType::Binary, 'G', 0)};
  def.indexes = {IndexDef{"ByNum", "", {"Num", "Id"}}};
  std::string path = dir.file("CARS.DB");
  auto t = createParadoxTable(FileSystem::real(), path, def);
  Model initial = modelAfter(0);
  for (const auto& [id, v] : initial) {
    Record r = t->blankRecord();
    put(*t, r, id, std::get<0>(v), std::get<1>(v), std::get<2>(v));
    t->insert(r);
  }
  return path;
}

// Runs the workload in a child killed at write `killAt` (0: never); returns how many operations
// had returned.
int runChild(const std::string& path, std::uint64_t killAt, std::uint64_t* writes = nullptr) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    FaultFileSystem faults(FileSystem::real());
    try {
      auto t = openParadoxTable(faults, path, OpenOptions{});
      if (killAt) faults.arm(FaultFileSystem::Op::Write, killAt, FaultFileSystem::Action::Kill);
      Model m = modelAfter(0);
      for (int j = 0; j < kOps; ++j) {
        step(t.get(), m, j);
        int done = j + 1;
        if (::write(fds[1], &done, sizeof done) != sizeof done) ::_exit(3);
      }
      std::uint64_t w = faults.count(FaultFileSystem::Op::Write);
      if (::write(fds[1], &w, sizeof w) != sizeof w) ::_exit(3);
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  int done = 0, v;
  while (done < kOps && ::read(fds[0], &v, sizeof v) == sizeof v) done = v;
  if (writes) {
    std::uint64_t w = 0;
    if (::read(fds[0], &w, sizeof w) == sizeof w) *writes = w;
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (killAt == 0) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  } else if (WIFEXITED(status)) {
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the workload failed";
  }
  return done;
}

}  // namespace

TEST(ParadoxCrash, AKillAtAnyWriteLosesNoReturnedChange) {
  std::uint64_t total = 0;
  {
    TempDir dir;
    std::string path = makeTable(dir);
    EXPECT_EQ(runChild(path, 0, &total), kOps);
    auto t = openParadoxTable(FileSystem::real(), path, OpenOptions{});
    EXPECT_TRUE(t->check().ok());
    EXPECT_EQ(contents(*t), modelAfter(kOps));
  }
  ASSERT_GT(total, 20u);
  std::uint64_t stride = std::max<std::uint64_t>(1, total / 70);
  for (std::uint64_t n = 1; n <= total; n += stride) {
    SCOPED_TRACE("killed at write " + std::to_string(n) + " of " + std::to_string(total));
    TempDir dir;
    std::string path = makeTable(dir);
    int done = runChild(path, n);
    auto t = openParadoxTable(FileSystem::real(), path, OpenOptions{});
    CheckReport report = t->check();
    ASSERT_TRUE(report.ok()) << report.problems[0];
    Model got = contents(*t);
    EXPECT_TRUE(got == modelAfter(done) || (done < kOps && got == modelAfter(done + 1)))
        << done << " operations had returned; the table holds " << got.size() << " records";
  }
}

TEST(ParadoxCrash, LocksDieWithTheirProcess) {
  TempDir dir;
  std::string path = makeTable(dir);
  auto t = openParadoxTable(FileSystem::real(), path, OpenOptions{});
  auto c = t->openCursor();
  ASSERT_TRUE(c->first());
  Bookmark b = c->bookmark();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    auto mine = openParadoxTable(FileSystem::real(), path, OpenOptions{});
    auto lock = mine->lockRecord(b);
    char ok = 1;
    if (::write(fds[1], &ok, 1) != 1) ::_exit(3);
    ::pause();
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(fds[0], &ok, 1), 1);
  EXPECT_THROW(t->lockRecord(b), TableError);
  EXPECT_THROW(t->empty(), TableError);  // the child has the table open
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ::close(fds[0]);
  ::close(fds[1]);
  auto lock = t->lockRecord(b);
  t->empty();
  EXPECT_EQ(t->info().recordCount, 0u);
}

TEST(ParadoxCrash, TwoProcessesInsertingLoseNothing) {
  TempDir dir;
  std::string path = makeTable(dir);
  constexpr int kEach = 40;
  pid_t pids[2];
  for (int p = 0; p < 2; ++p) {
    pids[p] = ::fork();
    if (pids[p] == 0) {
      try {
        auto t = openParadoxTable(FileSystem::real(), path, OpenOptions{});
        for (int i = 0; i < kEach; ++i) {
          Record r = t->blankRecord();
          put(*t, r, 10000 + p * 1000 + i, i % 7, static_cast<std::size_t>(i * 97 % 2500), i % 10 == 0 ? 5000u : 0u);
          t->insert(r);
        }
      } catch (const std::exception& e) {
        std::fprintf(stderr, "child %d: %s\n", p, e.what());
        ::_exit(2);
      }
      ::_exit(0);
    }
  }
  for (pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto t = openParadoxTable(FileSystem::real(), path, OpenOptions{});
  EXPECT_TRUE(t->check().ok());
  Model got = contents(*t);
  EXPECT_EQ(got.size(), modelAfter(0).size() + 2 * kEach);
  for (int p = 0; p < 2; ++p)
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(got.count(10000 + p * 1000 + i), 1u);
}
