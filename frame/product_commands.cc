#include "frame/product_commands.h"

namespace sdx {

const CommandTable& ProductCommandTable() {
  constexpr ParamType kText = ParamType::kText;
  constexpr ParamType kLong = ParamType::kLong;
  static const CommandTable table{
      {
          {"LogOnOff", CommandKind::kParams, {kText, kLong}, "SId=0 Logon=1", nullptr},
          {"AlertweaveMenu",
           CommandKind::kParams,
           {kText, kText, kText},
           "SId=0 ProfileId=0 password=",
           nullptr},
          {"EventFilter", CommandKind::kParams, {kText}, "SId=0", nullptr},
          {"EventList",
           CommandKind::kParams,
           {kText, kText, kText, kText, kText, kText, kText, kText, kText, kLong, kLong},
           "SId=0 ProfileIds=0 EscalationFlagIds= StartDate= EndDate= MsgFilter= NameFilter= "
           "StatusFilter= DeviceFilter= EventAmount=0 RefreshTime=0",
           nullptr},
          {"EventDetails",
           CommandKind::kParams,
           {kText, kText, kText, kText, kText},
           "SId=0 EventId=0 Text= PageButton= CloseBox=",
           nullptr},
          {"Default", CommandKind::kNone, {}, "", nullptr},
          {"EventAddReplyPage", CommandKind::kRaw, {}, "", nullptr},
          {"ManageFilters", CommandKind::kRaw, {}, "", nullptr},
      },
      "Default"};
  return table;
}

}  // namespace sdx
