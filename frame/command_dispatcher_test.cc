#include "frame/command_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame/extension_request.h"
#include "frame/http_server_context.h"
#include "frame/product_commands.h"

namespace sdx {
namespace {

// What the last handler call received: the command and its arguments in one line.
std::string last_call;

std::string Render(const CommandEntry& command, const CommandArguments& arguments) {
  std::string text = command.name + ":";
  if (command.kind == CommandKind::kRaw) {
    return text + std::string(arguments.raw_text) + "#" + std::to_string(arguments.body_bytes);
  }
  for (size_t i = 0; i < command.types.size(); ++i) {
    if (i > 0) text += '|';
    text += command.types[i] == ParamType::kLong ? std::to_string(arguments.Long(i))
                                                 : arguments.Text(i);
  }
  return text;
}

template <size_t kIndex>
void Record(HttpServerContext&, const CommandArguments& arguments) {
  last_call = Render(ProductCommandTable().commands[kIndex], arguments);
}

// The product's table with a recording handler for each command.
CommandTable RecordingTable() {
  CommandTable table = ProductCommandTable();
  const CommandHandler handlers[] = {&Record<0>, &Record<1>, &Record<2>, &Record<3>,
                                     &Record<4>, &Record<5>, &Record<6>, &Record<7>};
  EXPECT_EQ(table.commands.size(), std::size(handlers));
  for (size_t i = 0; i < table.commands.size(); ++i) table.commands[i].handler = handlers[i];
  return table;
}

struct Case {
  const char* method;   // "GET" or "POST"
  std::string text;     // query of a GET, body of a POST
  const char* command;  // a POST's URL query
  int failure;          // 0: a handler ran
  const char* call;     // what it received
};

const std::string kList = "EventList:";
const Case kCases[] = {
    // Naming the command.
    {"GET", "", "", 0, "Default:"},
    {"GET", "Default", "", 0, "Default:"},
    {"GET", "default?", "", 0, "Default:"},
    {"GET", "SId=5", "", kBadParamCount, ""},
    {"GET", "eventfilter&sid=12", "", 0, "EventFilter:12"},
    {"GET", "EventDetails?12&345", "", 0, "EventDetails:12|345|||"},
    {"GET", "EventFilter?SId=7", "", 0, "EventFilter:7"},
    {"GET", "EventFilter", "", 0, "EventFilter:0"},
    {"GET", "NoSuchCommand&SId=1", "", kBadParamCount, ""},
    {"GET", "ManageFilters", "", kBadParamCount, ""},
    {"GET", "ManageFilters?", "", kBadParamCount, ""},
    {"GET", " ", "", kBadParamCount, ""},
    {"GET", "EventFilter&SId=9 \r\n", "", 0, "EventFilter:9"},
    {"POST", "SId=3", "eventfilter", 0, "EventFilter:3"},
    {"POST", "SId=1", "NoSuchCommand", kNoSuchCommand, ""},
    {"POST", "SId=1", "EventList&SId=1", kNoSuchCommand, ""},
    {"POST", "", "", 0, "Default:"},
    {"POST", "x", "Default", kBadParamCount, ""},
    // The hidden command field wins over the URL and falls back when it names nothing.
    {"POST", "MfcISAPICommand=EventList&SId=42", "EventFilter", 0, "EventList:42|0||||||||0|0"},
    {"GET", "MFCIsapiCommand=EventFilter&SId=3", "", 0, "EventFilter:3"},
    {"GET", "MfcISAPICommand=EventFilter", "", 0, "EventFilter:0"},
    {"GET", "MfcISAPICommand=Nope&SId=1", "", kBadParamCount, ""},
    {"POST", "MfcISAPICommand=Nope&SId=1", "EventFilter", kBadParam, ""},
    // Joining neighbours of one name.
    {"GET", "EventList&ProfileIds=1&ProfileIds=4&ProfileIds=9", "", 0,
     "EventList:0|1,4,9||||||||0|0"},
    {"POST", "ProfileIds=1&ProfileIds=4&SId=2", "EventList", 0, "EventList:2|1,4||||||||0|0"},
    {"GET", "EventList&ProfileIds=1&ProfileIds=", "", 0, "EventList:0|1,||||||||0|0"},
    {"GET", "EventList&ProfileIds=1&SId=3&ProfileIds=4", "", kBadParam, ""},
    {"GET", "EventFilter&=x&SId=5", "", 0, "EventFilter:5"},
    {"GET", "EventFilter&SId=5&=x", "", 0, "EventFilter:5"},
    {"GET", "EventList&ProfileIds=1&=x&ProfileIds=2", "", kBadParam, ""},
    // Binding by name and position.
    {"GET", "LogOnOff&SId=&Logon=", "", 0, "LogOnOff:0|1"},
    {"GET", "LogOnOff&Logon=0", "", 0, "LogOnOff:0|0"},
    {"GET", "EventDetails&12&345&t", "", 0, "EventDetails:12|345|t||"},
    {"GET", "EventDetails&EventId=5&7", "", 0, "EventDetails:7|5|||"},
    {"GET", "EventDetails&SId=1&2", "", kBadParam, ""},
    {"GET", "EventDetails&1&SId=2", "", kBadParam, ""},
    {"GET", "EventFilter&1&2", "", kBadParamCount, ""},
    {"GET", "EventFilter&SId=1&SId=2&x", "", kBadParamCount, ""},
    {"GET", "EventFilter&Bogus=1", "", kBadParam, ""},
    {"GET", "EventFilter&S%49d=1", "", kBadParam, ""},
    {"GET", "EventFilter&&SId=4&", "", 0, "EventFilter:4"},
    {"GET", "EventDetails&SId=1&Text=a=b", "", 0, "EventDetails:1|0|a=b||"},
    {"GET", "AlertweaveMenu&SId=1&ProfileId=7&password=AB", "", 0, "AlertweaveMenu:1|7|AB"},
    // Values: decoding of texts, atol of longs from the undecoded text.
    {"GET", "EventFilter&SId=a%2Bb+c%zz", "", 0, "EventFilter:a+b c?z"},
    {"GET", "EventFilter&SId=%", "", 0, "EventFilter:?"},
    {"GET", "EventFilter&SId=%4", "", 0, "EventFilter:?"},
    {"GET", "EventFilter&SId=%4g1", "", 0, "EventFilter:?1"},
    {"GET", "EventFilter&SId=%41%2c%26", "", 0, "EventFilter:A,&"},
    {"GET", "EventList&EventAmount=25x", "", 0, "EventList:0|0||||||||25|0"},
    {"GET", "EventList&EventAmount=abc", "", 0, "EventList:0|0||||||||0|0"},
    {"GET", "EventList&EventAmount=+%2012&RefreshTime=%20-3", "", 0, "EventList:0|0||||||||0|0"},
    {"GET", "EventList&EventAmount=-7&RefreshTime=99999999999", "", 0,
     "EventList:0|0||||||||-7|2147483647"},
    // Raw commands: the joined text, undecoded, and the body's size before joining.
    {"POST", "SId=1&filterList=a&filterList=b+c", "ManageFilters", 0,
     "ManageFilters:SId=1&filterList=a,b+c#33"},
    {"GET", "EventAddReplyPage&SId=1&Reply=a%20b", "", 0, "EventAddReplyPage:SId=1&Reply=a%20b#0"},
    {"GET", "EventAddReplyPage?SId=1", "", 0, "EventAddReplyPage:SId=1#0"},
};

TEST(CommandDispatcherTest, Grammar) {
  CommandTable table = RecordingTable();
  CommandDispatcher dispatcher(&table);
  for (const Case& c : kCases) {
    std::string text = c.text;
    TrimRequestText(&text);
    bool post = std::string(c.method) == "POST";
    HttpServerContext context(nullptr);
    last_call.clear();
    int failure = dispatcher.CallFunction(
        context, text, post ? std::optional<std::string_view>(c.command) : std::nullopt,
        post ? static_cast<uint32_t>(c.text.size()) : 0);
    EXPECT_EQ(failure, c.failure) << c.method << " '" << c.text << "'";
    EXPECT_EQ(last_call, c.call) << c.method << " '" << c.text << "'";
  }
}

TEST(CommandDispatcherTest, TrimKeepsTheFirstCharacter) {
  struct TrimCase {
    std::string in, out;
  };
  const TrimCase kTrims[] = {{"a \r\n", "a"}, {"\r\n", "\r"}, {" ", " "}, {"", ""}, {"a b", "a b"}};
  for (const TrimCase& c : kTrims) {
    std::string text = c.in;
    TrimRequestText(&text);
    EXPECT_EQ(text, c.out);
  }
}

void Throw(HttpServerContext&, const CommandArguments&) { throw std::runtime_error("broken"); }

TEST(CommandDispatcherTest, UnwiredMalformedAndThrowingCommands) {
  CommandTable table;
  table.default_command = "Default";
  table.commands = {
      {"Unwired", CommandKind::kParams, {ParamType::kText}, "SId=0", nullptr},
      {"Mismatch", CommandKind::kParams, {ParamType::kText}, "SId=0 Extra=1", &Record<0>},
      {"Throws", CommandKind::kNone, {}, "", &Throw},
  };
  CommandDispatcher dispatcher(&table);
  HttpServerContext context(nullptr);
  EXPECT_EQ(dispatcher.CallFunction(context, "Unwired&SId=1", std::nullopt, 0), kNoSuchCommand);
  EXPECT_EQ(dispatcher.CallFunction(context, "Mismatch", std::nullopt, 0), kNoSuchCommand);
  EXPECT_EQ(dispatcher.CallFunction(context, "Throws", std::nullopt, 0), kHandlerFailed);
  // No default command in the table: nothing to run.
  EXPECT_EQ(dispatcher.CallFunction(context, "", std::nullopt, 0), kNoSuchCommand);
  EXPECT_EQ(dispatcher.CallFunction(context, "x", std::string_view(""), 1), kNoSuchCommand);
}

TEST(CommandDispatcherTest, ProductCommandsAreNotWiredYet) {
  CommandDispatcher dispatcher(&ProductCommandTable());
  HttpServerContext context(nullptr);
  for (const CommandEntry& command : ProductCommandTable().commands) {
    EXPECT_EQ(command.handler, nullptr) << command.name;
    EXPECT_EQ(dispatcher.CallFunction(context, command.name, std::nullopt, 0), kNoSuchCommand);
  }
}

std::atomic<int> good_calls{0};

void CountGood(HttpServerContext&, const CommandArguments& arguments) {
  if (arguments.Text(0) == "0" && arguments.Long(1) == 1) ++good_calls;
}

// Many first uses of one command at once: the defaults are parsed once, under the dispatch's
// lock, and every call sees them whole.
TEST(CommandDispatcherTest, ConcurrentFirstUse) {
  CommandTable table;
  table.default_command = "LogOnOff";
  table.commands = {{"LogOnOff",
                     CommandKind::kParams,
                     {ParamType::kText, ParamType::kLong},
                     "SId=0 Logon=1",
                     &CountGood}};
  CommandDispatcher dispatcher(&table);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&dispatcher] {
      for (int i = 0; i < 200; ++i) {
        HttpServerContext context(nullptr);
        dispatcher.CallFunction(context, "", std::nullopt, 0);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good_calls.load(), 8 * 200);
}

}  // namespace
}  // namespace sdx
