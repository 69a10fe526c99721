// The journal's promises: staged changes read back before commit, a commit reaches every file,
// a failure before the commit point changes nothing, and a writer killed at any write leaves
// files that recovery brings to exactly the last committed state.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tables/error.h"
#include "tables/fault_file_system.h"
#include "tables/journal.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

std::string contents(const std::string& path) {
  auto b = rf::test::readFileBytes(path);
  return {b.begin(), b.end()};
}

struct Files {
  Files(FileSystem& fs, const TempDir& dir) {
    a = fs.open(dir.file("t.dbf"), OpenMode::OpenOrCreate);
    b = fs.open(dir.file("t.mdx"), OpenMode::OpenOrCreate);
    journal = std::make_unique<Journal>(fs, dir.file("t.dbf"), *a, 0xEFFFFFFF);
  }
  std::unique_ptr<File> a, b;
  std::unique_ptr<Journal> journal;
};

}  // namespace

TEST(Journal, StagedWritesOverlayTheFileUntilCommit) {
  TempDir dir;
  Files f(FileSystem::real(), dir);
  f.a->writeAt(0, bytesOf("0123456789"));
  auto tx = f.journal->begin();
  tx.write(*f.a, 2, bytesOf("ab"));
  tx.write(*f.a, 3, bytesOf("XYZ"));  // overlaps and extends the first extent
  tx.write(*f.a, 12, bytesOf("!"));   // past the end: a hole of zeros
  std::vector<std::uint8_t> buf(13);
  ASSERT_EQ(tx.read(*f.a, 0, buf), 13u);
  EXPECT_EQ(std::string(buf.begin(), buf.end()), std::string("01aXYZ6789\0\0!", 13));
  EXPECT_EQ(contents(dir.file("t.dbf")), "0123456789") << "nothing reaches the file before commit";
  tx.truncate(*f.a, 4);
  EXPECT_EQ(tx.size(*f.a), 4u);
  tx.write(*f.a, 6, bytesOf("Q"));
  buf.assign(7, 0xEE);
  ASSERT_EQ(tx.read(*f.a, 0, buf), 7u);
  EXPECT_EQ(std::string(buf.begin(), buf.end()), std::string("01aX\0\0Q", 7)) << "truncated bytes must not come back";
  tx.write(*f.b, 0, bytesOf("index"));
  tx.commit();
  EXPECT_EQ(contents(dir.file("t.dbf")), std::string("01aX\0\0Q", 7));
  EXPECT_EQ(contents(dir.file("t.mdx")), "index");
  EXPECT_EQ(f.journal->syncCount(), 2u) << "the first commit also syncs the new journal's directory entry";
  EXPECT_THROW(f.journal->begin(), TableError) << "one change at a time through one journal";
  { auto done = std::move(tx); }
  auto tx2 = f.journal->begin();
  tx2.write(*f.b, 5, bytesOf("!"));
  tx2.commit();
  EXPECT_EQ(f.journal->syncCount(), 3u) << "one sync per commit after that";
}

TEST(Journal, ReplayCompletesAHalfAppliedCommitAndIgnoresATornTail) {
  TempDir dir;
  {
    Files f(FileSystem::real(), dir);
    auto tx = f.journal->begin();
    tx.write(*f.a, 0, bytesOf("committed-table"));
    tx.write(*f.b, 0, bytesOf("committed-index"));
    tx.commit();
    // Keep the journal: copy it aside before the clean close removes it.
    rf::test::copyFile(Journal::pathFor(dir.file("t.dbf")), dir.file("saved-journal"));
  }
  // A writer died after the commit point having written only the table: the index is old.
  rf::test::writeFileBytes(dir.file("t.mdx"), bytesOf("old-index-bytes"));
  auto journal = rf::test::readFileBytes(dir.file("saved-journal"));
  // ...and it died while appending a second record: a torn tail that must be ignored.
  std::vector<std::uint8_t> torn = journal;
  torn.insert(torn.end(), journal.begin(), journal.begin() + static_cast<long>(journal.size() / 2));
  rf::test::writeFileBytes(Journal::pathFor(dir.file("t.dbf")), torn);

  Files f(FileSystem::real(), dir);
  EXPECT_TRUE(f.journal->recover());
  EXPECT_EQ(contents(dir.file("t.dbf")), "committed-table");
  EXPECT_EQ(contents(dir.file("t.mdx")), "committed-index");
  EXPECT_FALSE(f.journal->recover()) << "a recovered journal is empty";
}

TEST(Journal, FailureBeforeTheCommitPointChangesNothing) {
  TempDir dir;
  FaultFileSystem fault(FileSystem::real());
  Files f(fault, dir);
  f.a->writeAt(0, bytesOf("before"));
  for (auto op : {FaultFileSystem::Op::Write, FaultFileSystem::Op::Sync}) {
    fault.arm(op, 1, FaultFileSystem::Action::Fail, 28, "-journal");
    {
      auto tx = f.journal->begin();
      tx.write(*f.a, 0, bytesOf("after!"));
      try {
        tx.commit();
        FAIL() << "the injected failure must surface";
      } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Io);
        EXPECT_NE(std::string(e.what()).find("No space left"), std::string::npos) << e.what();
      }
    }
    fault.disarm();
    EXPECT_EQ(contents(dir.file("t.dbf")), "before");
    EXPECT_FALSE(f.journal->recover()) << "a failed commit leaves nothing to replay";
    EXPECT_EQ(contents(dir.file("t.dbf")), "before");
  }
}

TEST(Journal, FailureAfterTheCommitPointIsCompletedByRecovery) {
  TempDir dir;
  FaultFileSystem fault(FileSystem::real());
  {
    Files f(fault, dir);
    f.a->writeAt(0, bytesOf("before"));
    fault.arm(FaultFileSystem::Op::Write, 1, FaultFileSystem::Action::FailForGood, 5, "t.mdx");
    auto tx = f.journal->begin();
    tx.write(*f.a, 0, bytesOf("after!"));
    tx.write(*f.b, 0, bytesOf("idx"));
    try {
      tx.commit();
      FAIL();
    } catch (const TableError& e) {
      EXPECT_NE(std::string(e.what()).find("completed when the table is next opened"), std::string::npos) << e.what();
    }
    fault.disarm();
  }
  Files f(FileSystem::real(), dir);
  f.journal->recover();
  EXPECT_EQ(contents(dir.file("t.dbf")), "after!");
  EXPECT_EQ(contents(dir.file("t.mdx")), "idx");
}

TEST(Journal, CommitLockExcludesASecondWriter) {
  TempDir dir;
  Files one(FileSystem::real(), dir);
  Files two(FileSystem::real(), dir);
  auto tx = one.journal->begin();
  try {
    auto other = two.journal->begin(50);
    FAIL() << "two writers at once";
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Locked);
  }
  tx.commit();
  {
    auto tx2 = std::move(tx);
  }
  EXPECT_NO_THROW(two.journal->begin(50));
}

// A child commits a sequence of changes, each writing the step number into both files (the
// table gets a longer record each time, the index is rewritten in place); it is killed at the
// Nth write. After recovery both files must show the same step, and every step whose commit had
// returned before the kill must be there.
TEST(Journal, KilledAtAnyWriteRecoversToTheLastCommit) {
  for (std::uint64_t n = 1; n <= 40; ++n) {
    TempDir dir;
    int pipefd[2];
    ASSERT_EQ(::pipe(pipefd), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(pipefd[0]);
      FaultFileSystem fault(FileSystem::real());
      Files f(fault, dir);
      fault.arm(FaultFileSystem::Op::Write, n, FaultFileSystem::Action::Kill);
      for (std::uint8_t step = 1; step <= 10; ++step) {
        auto tx = f.journal->begin();
        std::vector<std::uint8_t> rec(100, step);
        tx.write(*f.a, static_cast<std::uint64_t>(step - 1) * 100, rec);
        tx.write(*f.b, 0, std::vector<std::uint8_t>(300, step));
        tx.commit();
        if (::write(pipefd[1], &step, 1) != 1) ::_exit(3);
      }
      ::_exit(0);
    }
    ::close(pipefd[1]);
    std::uint8_t acked = 0, s;
    while (::read(pipefd[0], &s, 1) == 1) acked = s;
    ::close(pipefd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // Ten commits make 40 writes (two journal, two file writes each): every n must kill.
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was not killed at write " << n;

    Files f(FileSystem::real(), dir);
    f.journal->recover();
    auto table = rf::test::readFileBytes(dir.file("t.dbf"));
    auto index = rf::test::readFileBytes(dir.file("t.mdx"));
    std::uint8_t step = index.empty() ? 0 : index[0];
    SCOPED_TRACE("killed at write " + std::to_string(n) + ", step " + std::to_string(step));
    ASSERT_GE(step, acked) << "a commit that returned was lost";
    ASSERT_EQ(table.size(), static_cast<std::size_t>(step) * 100);
    for (std::size_t i = 0; i < table.size(); ++i) ASSERT_EQ(table[i], i / 100 + 1);
    if (step) {
      ASSERT_EQ(index, std::vector<std::uint8_t>(300, step));
    }
  }
}
