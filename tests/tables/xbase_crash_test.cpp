// Killed writers and concurrent processes on one xBase table: after a kill at any write the
// table opens, passes its integrity check and holds exactly the changes of the saves that had
// returned (plus, possibly, the one in flight); locks die with their process; two processes
// appending at once lose and duplicate nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/fault_file_system.h"
#include "tests/support/test_support.h"
#include "tests/support/xbase_builders.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {

using Model = std::map<std::string, std::pair<double, std::string>>;  // code -> (qty, notes)

constexpr int kOps = 24;

// Operation j of the workload, applied to the model.
void modelStep(Model& m, int j) {
  if (j % 5 == 4 && m.count("K" + std::to_string(j - 3))) {
    m.erase("K" + std::to_string(j - 3));
  } else if (j % 3 == 2 && m.count("K" + std::to_string(j - 2))) {
    m["K" + std::to_string(j - 2)] = {j * 10.0, "updated by " + std::to_string(j)};
  } else {
    m["K" + std::to_string(j)] = {static_cast<double>(j), std::string(static_cast<std::size_t>(200 + 97 * j), static_cast<char>('a' + j % 26))};
  }
}

// The same operation on the table; codes are found through the CODE tag.
void tableStep(Table& t, const Model& before, int j) {
  auto find = [&](int k) {
    auto c = t.openCursor("CODE");
    if (!c->seek({Value::text("K" + std::to_string(k))})) throw std::runtime_error("lost K" + std::to_string(k));
    return c;
  };
  if (j % 5 == 4 && before.count("K" + std::to_string(j - 3))) {
    t.remove(find(j - 3)->bookmark());
  } else if (j % 3 == 2 && before.count("K" + std::to_string(j - 2))) {
    Record r = find(j - 2)->record();
    t.set(r, "QTY", Value::number(j * 10.0));
    t.set(r, "NOTES", Value::text("updated by " + std::to_string(j)));
    t.update(r);
  } else {
    Record r = t.blankRecord();
    t.set(r, "CODE", Value::text("K" + std::to_string(j)));
    t.set(r, "QTY", Value::number(j));
    t.set(r, "NOTES", Value::text(std::string(static_cast<std::size_t>(200 + 97 * j), static_cast<char>('a' + j % 26))));
    t.insert(r);
  }
}

Model read(Table& t) {
  Model m;
  auto c = t.openCursor("CODE");
  for (bool ok = c->first(); ok; ok = c->next())
    m[t.get(c->record(), "CODE").asText()] = {t.get(c->record(), "QTY").asNumber(), t.get(c->record(), "NOTES").asText()};
  return m;
}

pid_t forkChild(const std::function<void()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    try {
      body();
    } catch (...) {
      ::_exit(3);
    }
    ::_exit(0);
  }
  return pid;
}

class XbaseCrash : public ::testing::TestWithParam<Format> {};

}  // namespace

TEST_P(XbaseCrash, KilledAtAnyWriteKeepsEveryReturnedSave) {
  int killed = 0;
  for (std::uint64_t n = 1; n <= 400; n += 3) {
    TempDir dir;
    std::string path = dir.file("pieces.dbf");
    { Engine(dir.file("e.conf")).create(path, rf::test::piecesDef(GetParam())); }
    int pipefd[2];
    ASSERT_EQ(::pipe(pipefd), 0);
    pid_t pid = forkChild([&] {
      ::close(pipefd[0]);
      FaultFileSystem fault(FileSystem::real());
      Engine engine(dir.file("e.conf"), fault);
      auto t = engine.openPath(path, GetParam());
      fault.arm(FaultFileSystem::Op::Write, n, FaultFileSystem::Action::Kill);
      Model m;
      for (int j = 0; j < kOps; ++j) {
        tableStep(*t, m, j);
        modelStep(m, j);
        auto b = static_cast<std::uint8_t>(j + 1);
        if (::write(pipefd[1], &b, 1) != 1) ::_exit(4);
      }
    });
    ::close(pipefd[1]);
    int acked = 0;
    std::uint8_t b;
    while (::read(pipefd[0], &b, 1) == 1) acked = b;
    ::close(pipefd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFSIGNALED(status)) {
      ASSERT_EQ(WEXITSTATUS(status), 0) << "the workload itself failed at n=" << n;
      ASSERT_EQ(acked, kOps);
    } else {
      ++killed;
    }

    Engine engine(dir.file("e.conf"));
    auto t = engine.openPath(path, GetParam());
    CheckReport rep = t->check();
    ASSERT_TRUE(rep.ok()) << "killed at write " << n << ": " << rep.problems.front();
    Model got = read(*t);
    Model want, next;
    for (int j = 0; j < acked; ++j) modelStep(want, j);
    next = want;
    if (acked < kOps) modelStep(next, acked);
    ASSERT_TRUE(got == want || got == next) << "killed at write " << n << " after " << acked << " saves";
    // Whatever state it was left in, the table goes on taking changes.
    tableStep(*t, got, 1000);
    ASSERT_TRUE(t->check().ok());
  }
  EXPECT_GT(killed, 50) << "the sweep must actually kill the writer";
}

TEST_P(XbaseCrash, ALockDiesWithItsProcess) {
  TempDir dir;
  std::string path = dir.file("pieces.dbf");
  Engine engine(dir.file("e.conf"));
  Bookmark mark;
  {
    auto t = engine.create(path, rf::test::piecesDef(GetParam()));
    Record r = t->blankRecord();
    t->set(r, "CODE", Value::text("A"));
    mark = t->insert(r);
  }
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t pid = forkChild([&] {
    Engine e(dir.file("e.conf"));
    auto t = e.openPath(path, GetParam());
    auto lock = t->lockRecord(mark);
    std::uint8_t one = 1;
    if (::write(ready[1], &one, 1) != 1) ::_exit(4);
    ::pause();
  });
  std::uint8_t got = 0;
  ASSERT_EQ(::read(ready[0], &got, 1), 1);
  auto t = engine.openPath(path, GetParam());
  try {
    t->lockRecord(mark);
    FAIL() << "the other process's lock was not seen";
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Locked);
    EXPECT_NE(std::string(e.what()).find("locked"), std::string::npos);
  }
  EXPECT_THROW(t->empty(), TableError) << "emptying needs exclusive use";
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  EXPECT_NO_THROW(t->lockRecord(mark));
  EXPECT_NO_THROW(t->empty());
}

TEST_P(XbaseCrash, TwoProcessesAppendingLoseNothing) {
  TempDir dir;
  std::string path = dir.file("pieces.dbf");
  { Engine(dir.file("e.conf")).create(path, rf::test::piecesDef(GetParam())); }
  constexpr int kEach = 150;
  std::vector<pid_t> kids;
  for (int who = 0; who < 2; ++who)
    kids.push_back(forkChild([&, who] {
      Engine e(dir.file("e.conf"));
      auto t = e.openPath(path, GetParam());
      for (int i = 0; i < kEach; ++i) {
        Record r = t->blankRecord();
        t->set(r, "CODE", Value::text(std::string(1, static_cast<char>('A' + who)) + std::to_string(i)));
        t->set(r, "NOTES", Value::text("from " + std::to_string(who)));
        t->insert(r);
      }
    }));
  for (pid_t p : kids) {
    int status = 0;
    ::waitpid(p, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto t = Engine(dir.file("e.conf")).openPath(path, GetParam());
  EXPECT_TRUE(t->check().ok());
  Model m = read(*t);
  EXPECT_EQ(m.size(), 2u * kEach);
  EXPECT_EQ(t->info().recordCount, 2u * kEach);
}

// A write, sync or size change that fails (disk full, I/O error) at any point of a save: the
// save either reports the failure and leaves the table exactly as it was, or - when the failure
// came after the commit point - reports that it will be completed, and reopening completes it.
TEST_P(XbaseCrash, InjectedFailuresLeaveTheTableAsItWasOrComplete) {
  using Op = FaultFileSystem::Op;
  for (Op op : {Op::Write, Op::Sync, Op::Truncate}) {
    for (std::uint64_t n = 1; n <= 12; ++n) {
      TempDir dir;
      std::string path = dir.file("pieces.dbf");
      { Engine(dir.file("e.conf")).create(path, rf::test::piecesDef(GetParam())); }
      Model before;
      {
        auto t = Engine(dir.file("e.conf")).openPath(path, GetParam());
        for (int j = 0; j < 6; ++j) {
          tableStep(*t, before, j);
          modelStep(before, j);
        }
      }
      Model after = before;
      modelStep(after, 6);  // an update of K4 with a new memo
      bool failed = false, deferred = false;
      {
        FaultFileSystem fault(FileSystem::real());
        Engine engine(dir.file("e.conf"), fault);
        auto t = engine.openPath(path, GetParam());
        fault.arm(op, n, FaultFileSystem::Action::Fail, 28);
        try {
          tableStep(*t, before, 6);
        } catch (const TableError& e) {
          failed = true;
          deferred = std::string(e.what()).find("next opened") != std::string::npos;
          EXPECT_EQ(e.kind(), ErrorKind::Io) << e.what();
        }
        fault.disarm();
        if (failed && !deferred) {
          EXPECT_EQ(read(*t), before) << "a refused save changed the table it stays open on";
        }
      }
      SCOPED_TRACE("op " + std::to_string(static_cast<int>(op)) + " n " + std::to_string(n));
      auto t = Engine(dir.file("e.conf")).openPath(path, GetParam());
      ASSERT_TRUE(t->check().ok()) << t->check().problems.front();
      Model got = read(*t);
      if (failed && !deferred) {
        EXPECT_EQ(got, before);
      } else {
        EXPECT_EQ(got, after);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Families, XbaseCrash, ::testing::Values(Format::Dbase, Format::FoxPro),
                         [](const auto& p) { return p.param == Format::Dbase ? std::string("dBASE") : std::string("FoxPro"); });
