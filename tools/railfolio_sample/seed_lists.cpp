#include "tools/railfolio_sample/seed_lists.h"

#include <functional>

#include "tables/file_names.h"
#include "tools/railfolio_sample/sample_options.h"

namespace rf::sample {

namespace {

using tables::Table;

std::string trimmedText(Table& t, const tables::Record& r, int field) {
  std::string s = t.get(r, field).asText();
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void eachRecord(tables::Engine& engine, const std::string& dir, const std::string& file,
                const std::function<void(Table&, const tables::Record&)>& visit) {
  tables::OpenRequest req;
  req.name = tables::joinPath(dir, file);
  req.readOnly = true;
  auto table = engine.open(req);
  auto cursor = table->openCursor();
  for (bool ok = cursor->first(); ok; ok = cursor->next()) visit(*table, cursor->record());
}

std::vector<std::string> keys(tables::Engine& engine, const std::string& dir, const std::string& file,
                              const std::string& field) {
  std::vector<std::string> out;
  eachRecord(engine, dir, file, [&](Table& t, const tables::Record& r) {
    std::string k = trimmedText(t, r, t.schema().require(field, t.path()));
    if (!k.empty()) out.push_back(std::move(k));
  });
  return out;
}

void requireRows(const std::vector<std::string>& rows, const std::string& file) {
  if (rows.empty()) throw SampleUsageError(file + " holds no rows to draw a sample from");
}

}  // namespace

SeedLists readSeedLists(tables::Engine& engine, const std::string& dir) {
  SeedLists s;
  s.railroads = keys(engine, dir, "ABBREV.DBF", "I_REPMK");
  s.scales = keys(engine, dir, "SCALE.DBF", "I_SCALE");
  s.categories = keys(engine, dir, "INVCAT.DBF", "I_CAT");
  s.classes = keys(engine, dir, "CLASS.DBF", "I_CLASS");
  s.conditions = keys(engine, dir, "COND.DBF", "I_COND");
  s.locations = keys(engine, dir, "SLOC.DBF", "I_SLOC");
  s.trucks = keys(engine, dir, "trucks.dbf", "I_TRUCKS");
  s.couplers = keys(engine, dir, "couplers.dbf", "I_COUPLER");
  s.shops = keys(engine, dir, "SHOPS.DBF", "R_NAME");
  eachRecord(engine, dir, "MFGR.DBF", [&](Table& t, const tables::Record& r) {
    Manufacturer m{trimmedText(t, r, t.schema().require("I_MFGR", t.path())),
                   trimmedText(t, r, t.schema().require("MFNAME", t.path()))};
    if (!m.code.empty()) s.manufacturers.push_back(std::move(m));
  });
  eachRecord(engine, dir, "industry.dbf", [&](Table& t, const tables::Record& r) {
    Industry i{trimmedText(t, r, t.schema().require("LOCATION", t.path())),
               trimmedText(t, r, t.schema().require("CITY", t.path())),
               tables::equalsNoCase(trimmedText(t, r, t.schema().require("LOCTYPE", t.path())), "Yard")};
    if (!i.name.empty()) s.industries.push_back(std::move(i));
  });
  eachRecord(engine, dir, "PRODUCTS.DBF", [&](Table& t, const tables::Record& r) {
    Product p{trimmedText(t, r, t.schema().require("LADING", t.path())),
              trimmedText(t, r, t.schema().require("CARTYPE", t.path()))};
    if (!p.lading.empty()) s.products.push_back(std::move(p));
  });
  requireRows(s.railroads, "ABBREV.DBF");
  requireRows(s.scales, "SCALE.DBF");
  requireRows(s.conditions, "COND.DBF");
  requireRows(s.locations, "SLOC.DBF");
  if (s.manufacturers.empty()) throw SampleUsageError("MFGR.DBF holds no rows to draw a sample from");
  return s;
}

}  // namespace rf::sample
