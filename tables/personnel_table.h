// PersonnelTable: the paging server's profiles (Personnel), read only. Sign-on checks names
// and passwords with it, the pages name profile ids with it and offer its operator list. Every
// query holds table_lock_ for its whole length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tables/record_number_list.h"
#include "tables/table_object.h"

namespace sdx {

// One Personnel row as the queries fill it.
struct PersonRecord {
  double ID = 0;
  char NAME[41] = {};
  uint8_t ALLNODES = 0;
  uint8_t TYPE = 0;
  int32_t EXCLUDE = 0;
  char PASSWORD[41] = {};
};

class PersonnelTable : public TableObject<6> {
 public:
  ~PersonnelTable() override;

  bool OpenTable();
  // False, with `record` unchanged, when no row has exactly this ID.
  bool FindById(double id, PersonRecord* record);
  // The NAME of the row with this ID, trailing blanks removed; empty when there is none.
  std::string GetNameById(double id);
  // Every row's record number in ID order (deleted rows left out); answers the count.
  int CollectRecordNumbers(RecordNumberList* list);
  bool ReadByRecordNumber(int32_t record_number, PersonRecord* record);

 private:
  // Fills `record` from the row the table stands on and answers its ID; table lock held.
  double ReadCurrentRecord(PersonRecord* record);
};

// The profiles that may sign on (TYPE 0), each as "NAME,ID" ("%s,%.0f"), ascending without
// regard to letter case; entries that compare equal keep their ID order.
std::vector<std::string> SortedProfileList(PersonnelTable* table);

// The order of SortedProfileList: ASCII letters compare as lower case, other bytes as they are.
bool LessIgnoringCase(const std::string& a, const std::string& b);
// Sorts ascending in that order; entries that compare equal keep their order.
void SortAscendingNoCase(std::vector<std::string>* list);

}  // namespace sdx
