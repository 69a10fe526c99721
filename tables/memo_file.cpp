#include "tables/memo_file.h"

#include "tables/dbt_memo.h"
#include "tables/fpt_memo.h"

namespace rf::tables {

std::unique_ptr<MemoFile> MemoFile::open(File& file, MemoFlavor flavor) {
  if (flavor == MemoFlavor::FoxPro) return std::make_unique<FptMemo>(file);
  return std::make_unique<DbtMemo>(file, flavor);
}

void MemoFile::create(File& file, MemoFlavor flavor, std::string_view tableName, int blockSize) {
  if (flavor == MemoFlavor::FoxPro)
    FptMemo::create(file, blockSize);
  else
    DbtMemo::create(file, flavor, tableName, blockSize);
}

}  // namespace rf::tables
