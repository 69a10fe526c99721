// The data source between a dataset and its bound controls: auto-edit and the notifications.

#include <gtest/gtest.h>

#include "dataset/data_source.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::dataset::DataSource;
using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::dataset::Field;
using rf::tables::TableError;
using rf::test::PiecesTable;

namespace {

TEST(DataSource, TypingPutsTheRecordIntoEditOnlyWithAutoEdit) {
  PiecesTable t({{"A", "one"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  DataSource src(&ds);
  EXPECT_TRUE(src.autoEdit());
  std::vector<std::string> seen;
  QObject::connect(&src, &DataSource::dataChanged, [&](Field* f) { seen.push_back(f ? f->name().toStdString() : "*"); });
  QObject::connect(&src, &DataSource::stateChanged, [&](DatasetState s) { seen.push_back("state " + std::to_string(static_cast<int>(s))); });
  QObject::connect(&src, &DataSource::recordChanged, [&] { seen.push_back("moved"); });

  src.setFieldText("name", "uno");
  EXPECT_EQ(ds.state(), DatasetState::Edit);
  EXPECT_EQ(ds.field("NAME").asText(), "uno");
  ds.post();
  EXPECT_EQ(seen, (std::vector<std::string>{"state 2", "*", "NAME", "state 1", "*", "moved"}));

  src.setAutoEdit(false);
  EXPECT_FALSE(src.edit());
  EXPECT_THROW(src.setFieldText("NAME", "dos"), TableError);
  EXPECT_EQ(ds.state(), DatasetState::Browse);
  EXPECT_EQ(ds.field("NAME").asText(), "uno");

  // An unknown field is refused before the record goes into edit.
  src.setAutoEdit(true);
  EXPECT_THROW(src.setFieldText("NOSUCH", "x"), TableError);
  EXPECT_EQ(ds.state(), DatasetState::Browse);
}

TEST(DataSource, FollowsOnlyItsCurrentDatasetAndForgetsOneThatGoes) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  auto first = std::make_unique<Dataset>();
  Dataset second;
  first->open(t.engine, t.request());
  second.open(t.engine, t.request());
  DataSource src(first.get());
  int moves = 0;
  QObject::connect(&src, &DataSource::recordChanged, [&] { ++moves; });
  first->next();
  src.setDataset(&second);
  first->first();
  EXPECT_EQ(moves, 1);
  second.next();
  EXPECT_EQ(moves, 2);
  src.setDataset(first.get());
  first.reset();
  EXPECT_EQ(src.dataset(), nullptr);
  EXPECT_FALSE(src.edit());
}

}  // namespace
