// One page template: its number (the key the pages ask for), its file name in the template
// folder and its text as loaded. TemplateStore owns the five of them.
#pragma once

#include <cstdint>
#include <string>

namespace sdx {

inline constexpr uint16_t kLogonTemplate = 1;
inline constexpr uint16_t kMenuTemplate = 2;
inline constexpr uint16_t kEventFilterTemplate = 3;
inline constexpr uint16_t kEscalationListTemplate = 4;
inline constexpr uint16_t kEscalationDetailsTemplate = 5;

struct PageTemplate {
  uint16_t number = 0;
  std::string file_name;
  std::string text;  // empty when the file could not be read
};

// The file name of template `number` (1 to 5); empty for any other number.
const char* TemplateFileName(uint16_t number);

}  // namespace sdx
