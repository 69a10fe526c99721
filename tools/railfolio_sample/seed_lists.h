#pragma once
// The lookup rows a sample collection draws its codes from, read from the delivered tables of
// the collection folder, so every code a piece or waybill carries is one the pick lists offer.

#include <string>
#include <vector>

#include "tables/engine.h"

namespace rf::sample {

struct Manufacturer {
  std::string code;
  std::string name;
};

struct Industry {
  std::string name;  // LOCATION, the key a waybill stores
  std::string city;
  bool yard = false;
};

struct Product {
  std::string lading;
  std::string carType;  // the class of car that carries it
};

struct SeedLists {
  std::vector<std::string> railroads;  // reporting marks
  std::vector<std::string> scales;
  std::vector<std::string> categories;
  std::vector<std::string> classes;
  std::vector<std::string> conditions;
  std::vector<std::string> locations;
  std::vector<std::string> trucks;
  std::vector<std::string> couplers;
  std::vector<std::string> shops;
  std::vector<Manufacturer> manufacturers;
  std::vector<Industry> industries;
  std::vector<Product> products;
};

// Reads every lookup table of `dir`. Throws TableError for a table that cannot be read and
// SampleUsageError when a table the inventory needs (marks, scales, manufacturers, conditions,
// locations) is empty.
SeedLists readSeedLists(tables::Engine& engine, const std::string& dir);

}  // namespace rf::sample
