#pragma once
// A collection folder for one test: a copy of the delivered data, the alias "rf" naming it in a
// configuration of the test's own, and the process's working directory inside it (the inventory
// and the hobby shops are found there), put back afterwards.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "tests/support/test_support.h"
#include "tables/engine.h"
#include "tables/table.h"

namespace rf::testing {

class Collection {
 public:
  // `split`: the alias names a folder of its own and the working directory holds only the
  // inventory and the hobby shops, so a table looked for in the wrong place is missing.
  explicit Collection(bool split = false);
  ~Collection();

  tables::Engine& engine() { return *engine_; }
  std::string dataDir() const { return dataDir_; }
  std::string workDir() const { return workDir_; }
  std::string configPath() const { return config_; }
  // A fresh engine on the same configuration, as another program would open the files.
  std::unique_ptr<tables::Engine> otherEngine() const;

 private:
  rf::test::TempDir temp_;
  std::string dataDir_;
  std::string workDir_;
  std::string config_;
  std::string previousDir_;
  std::unique_ptr<tables::Engine> engine_;
};

// Another program's lock on the options record (the counters), held while the object lives.
class OptionsLock {
 public:
  explicit OptionsLock(const Collection& c);
  ~OptionsLock();
  void release();

 private:
  std::unique_ptr<tables::Engine> engine_;
  std::unique_ptr<tables::Table> table_;
  std::unique_ptr<tables::RecordLock> lock_;
};

// Runs `act` on the modal window once it shows (inside its own event loop).
void whenModal(std::function<void(QWidget*)> act);

}  // namespace rf::testing

// Readable failure messages for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE
