#include "frame/template_store.h"

#include "diagnostics/web_log.h"
#include "frame/load_template.h"

namespace sdx {

const char* TemplateFileName(uint16_t number) {
  switch (number) {
    case kLogonTemplate:
      return "logon.html";
    case kMenuTemplate:
      return "menu.html";
    case kEventFilterTemplate:
      return "eventFilter.html";
    case kEscalationListTemplate:
      return "escalationlist.html";
    case kEscalationDetailsTemplate:
      return "escalationDetails.html";
    default:
      return "";
  }
}

void TemplateStore::LoadTemplates(std::string_view folder) {
  for (uint16_t number = kLogonTemplate; number <= kEscalationDetailsTemplate; ++number) {
    PageTemplate page{number, TemplateFileName(number), {}};
    LoadTemplate(folder, page.file_name, &page.text);
    std::scoped_lock lock(*server_lock_);
    templates_[number] = std::move(page);
  }
  WriteWebLog("Done Reading in Templates");
}

std::string TemplateStore::GetTemplateText(uint16_t number) const {
  const PageTemplate* page = nullptr;
  {
    std::scoped_lock lock(*server_lock_);
    auto found = templates_.find(number);
    if (found != templates_.end()) page = &found->second;
  }
  // The text never changes after loading, so the copy needs no lock.
  return page != nullptr ? page->text : std::string();
}

void TemplateStore::Clear() {
  std::scoped_lock lock(*server_lock_);
  templates_.clear();
}

}  // namespace sdx
