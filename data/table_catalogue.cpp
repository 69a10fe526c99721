#include "data/table_catalogue.h"

#include <stdexcept>

namespace rf::data {

namespace {

using tables::Format;

std::vector<FieldSetup> inventoryFields() {
  // Every inventory field is labelled with its name and shown; only the widths are the table
  // object's own.
  const std::pair<const char*, int> widths[] = {
      {"I_ASSET", 10},   {"I_EQTYPE", 10},   {"I_CAT", 8},      {"I_SUBCAT", 8},    {"I_CLASS", 8},
      {"I_REPMK", 6},    {"I_REPNO", 6},     {"I_SCALE", 4},    {"I_DESC", 20},     {"I_PAINT", 20},
      {"I_MFGR", 15},    {"I_MFGRNO", 10},   {"I_IMPTR", 15},   {"I_ACQD", 10},     {"I_COST", 10},
      {"I_VALUE", 10},   {"I_VDATE", 10},    {"I_COND", 12},    {"I_SLOC", 10},     {"R_NAME", 40},
      {"I_RMK1", 59},    {"I_RMK2", 59},     {"I_RMK3", 59},    {"I_TRUCKS", 10},   {"I_COUPLER", 10},
      {"I_LENGTH", 10},  {"I_WEIGHT", 10},   {"I_USER1", 8},    {"I_FLAG1", 1},     {"I_USER2", 8},
      {"I_FLAG2", 1},    {"I_DTSLD", 10},    {"I_DETAIL", 10},  {"I_Gain", 10},     {"I_Increase", 10},
      {"I_LocoChan", 6}, {"W_HomeYard", 30}, {"W_Print", 5},    {"I_Photo", 10},
  };
  std::vector<FieldSetup> out;
  for (const auto& [name, width] : widths) out.push_back({name, {}, width, true});
  return out;
}

std::vector<TableEntry> build() {
  std::vector<TableEntry> c;
  auto dbase = [&](QString object, QString source, QString file, OrderKind kind, QStringList order,
                   Location loc = Location::DataDirectory) {
    TableEntry e;
    e.object = std::move(object);
    e.source = std::move(source);
    e.owner = QStringLiteral("dmMain");
    e.file = std::move(file);
    e.location = loc;
    e.orderKind = kind;
    e.order = std::move(order);
    c.push_back(std::move(e));
    return c.size() - 1;
  };

  {
    TableEntry e;
    e.object = "tbInven";
    e.source = "dsInven";
    e.owner = "fmInvenBrw";
    e.file = "Inven.DB";
    e.location = Location::WorkingDirectory;
    e.fields = inventoryFields();
    c.push_back(std::move(e));
  }
  {
    TableEntry e;
    e.object = "tbWaybill";
    e.source = "dsWaybill";
    e.owner = "fmInvenBrw";
    e.file = "Waybill";
    e.declaredFormat = Format::Paradox;
    e.orderKind = OrderKind::KeyFields;
    e.order = QStringList{"Asset_no", "Wayb_No"};
    e.fields = {
        {"Wayb_No", "WAYB_NO", 10},   {"Receiver", "RECEIVER", 30}, {"Shipper", "SHIPPER", 30},
        {"Lading", "LADING", 30},     {"Empty", "EMPTY", 5},        {"VIARoute", "VIAROUTE", 30},
        {"Carinst", "CARINST", 10},   {"Rec_Loc", {}, 30},          {"Shp_loc", {}, 30},
        {"PrintWaybill", {}, 5},      {"Asset_no", {}, 0, false},   {"Repmk", {}, 0, false},
        {"Repno", {}, 0, false},
    };
    c.push_back(std::move(e));
  }
  dbase("tbOptions", "dsOptions", "OPTIONS.DBF", OrderKind::Natural, {});
  dbase("tbAbbrev", "dsAbbrev", "ABBREV.DBF", OrderKind::IndexName, {"I_REPMK"});
  dbase("tbClass", "dsClass", "CLASS.DBF", OrderKind::IndexName, {"I_CLASS"});
  dbase("tbCond", "dsCond", "COND.DBF", OrderKind::KeyFields, {"I_COND"});
  dbase("tbInvCat", "dsInvcat", "INVCAT.DBF", OrderKind::Natural, {});
  dbase("tbMfgr", "dsMfgr", "MFGR.DBF", OrderKind::IndexName, {"I_MFGR"});
  dbase("tbScale", "dsScale", "SCALE.DBF", OrderKind::KeyFields, {"I_SCALE"});
  dbase("tbSloc", "dsSloc", "SLOC.DBF", OrderKind::KeyFields, {"I_SLOC"});
  dbase("tbShops", "dsShops", "SHOPS.DBF", OrderKind::KeyFields, {"R_NAME"}, Location::WorkingDirectory);
  c[dbase("tbTrucks", "dsTrucks", "trucks.dbf", OrderKind::IndexName, {"I_TRUCKS"})].fields = {
      {"I_TRUCKS", "Truck Code", 10}, {"I_TRKDESC", "Description", 30}};
  c[dbase("tbCouplers", "dsCouplers", "couplers.dbf", OrderKind::IndexName, {"I_COUPLER"})].fields = {
      {"I_COUPLER", "Coupler", 12}, {"I_COUPDESC", "Description", 35}};
  {
    auto& e = c[dbase("tbIndustry", "dsInductry", "industry", OrderKind::IndexName, {"LOCATION"})];
    e.declaredFormat = Format::FoxPro;
    e.fields = {{"LOCATION", "Industry", 30}, {"CITY", "City", 25},     {"STATE", "State", 2},
                {"CARCAP", "Car Capacity", 10}, {"LOCTYPE", "Type", 10}, {"DIRECTION", "Direction", 10}};
  }
  {
    auto& e = c[dbase("tbTowns", "dsTowns", "TOWNS.DBF", OrderKind::IndexName, {"CITY"})];
    e.declaredFormat = Format::FoxPro;
    e.indexFile = "Towns.cdx";
    e.fields = {{"CITY", "City", 25}, {"STATE", "State", 2}, {"ABCODE", "Location Code", 3},
                {"DIVISION", "Division", 15}};
  }
  {
    auto& e = c[dbase("tbProducts", "dsProducts", "PRODUCTS.DBF", OrderKind::IndexName, {"LADING"})];
    e.declaredFormat = Format::FoxPro;
    e.indexFile = "Products.cdx";
    e.fields = {{"LADING", "Lading", 30}, {"CARTYPE", "Car Type", 10}, {"COMMENTS", "Comments", 10}};
  }
  auto store = [&](QString object, QString file, bool atStart) {
    TableEntry e;
    e.object = std::move(object);
    e.owner = "fmRpt";
    e.file = std::move(file);
    e.openAtStart = atStart;
    c.push_back(std::move(e));
  };
  store("tblItem", "rbItem.DB", false);
  store("tblFolder", "rbFolder.db", false);
  store("tblTable", "rbTable.db", true);
  store("tblField", "rbField.db", true);
  return c;
}

}  // namespace

const std::vector<TableEntry>& tableCatalogue() {
  static const std::vector<TableEntry> catalogue = build();
  return catalogue;
}

const TableEntry& catalogueEntry(const QString& object) {
  for (const auto& e : tableCatalogue())
    if (e.object == object) return e;
  throw std::out_of_range("no table object " + object.toStdString() + " in the catalogue");
}

}  // namespace rf::data
