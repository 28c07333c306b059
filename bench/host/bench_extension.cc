// The extension side of the host benchmark: the cheapest pages an extension can write, so that
// the figures show the host's own cost.
//   ?4k     the head and a 4096-byte page in one WriteClient
//   ?rows   the head and a 1000-row table, one WriteClient per row, as the event list writes
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/isapi/isapi.h"

namespace {

using sdx::isapi::ExtensionControlBlock;

constexpr char kStatus[] = "200 OK";
constexpr char kHeaders[] = "Content-Type: text/html\r\n\r\n";
constexpr int kRows = 1000;

std::string MakePage4k() {
  std::string page = "<!DOCTYPE html>\n<html><head><title>4k</title></head><body>\n";
  while (page.size() < 4096 - 16) page += "<p>benchmark</p>\n";
  page.resize(4096 - 15, ' ');
  page += "</body></html>\n";
  return page;
}

std::string MakeRow(int i) {
  char row[160];
  std::snprintf(row, sizeof(row),
                "<tr><td>%d</td><td>Escalation step %d</td><td>Acknowledged</td>"
                "<td>11.12.2026 10:%02d</td></tr>\n",
                i, i, i % 60);
  return row;
}

std::vector<std::string> MakeRows() {
  std::vector<std::string> rows;
  for (int i = 0; i < kRows; ++i) rows.push_back(MakeRow(i));
  return rows;
}

const std::string kPage4k = MakePage4k();
// Made once, so that the figures show the host's cost of a thousand pieces, not printf's.
const std::vector<std::string> kRowTexts = MakeRows();
const std::string kRowsHead = "<!DOCTYPE html>\n<html><body><table>\n";
const std::string kRowsTail = "</table></body></html>\n";

bool Write(ExtensionControlBlock* ecb, const std::string& text) {
  uint32_t size = static_cast<uint32_t>(text.size());
  return ecb->WriteClient(ecb->connection, text.data(), &size, 0);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool GetExtensionVersion(
    sdx::isapi::VersionInfo* info) {
  info->extension_version =
      sdx::isapi::MakeVersion(sdx::isapi::kVersionMajor, sdx::isapi::kVersionMinor);
  std::snprintf(info->description, sizeof(info->description), "host benchmark extension");
  return true;
}

extern "C" __attribute__((visibility("default"))) uint32_t HttpExtensionProc(
    ExtensionControlBlock* ecb) {
  uint32_t size = sizeof(kStatus) - 1;
  ecb->ServerSupportFunction(ecb->connection, sdx::isapi::kReqSendResponseHeader,
                             const_cast<char*>(kStatus), &size, const_cast<char*>(kHeaders));
  if (std::strcmp(ecb->query_string, "rows") == 0) {
    Write(ecb, kRowsHead);
    for (const std::string& row : kRowTexts) {
      if (!Write(ecb, row)) return sdx::isapi::kStatusError;
    }
    Write(ecb, kRowsTail);
  } else {
    Write(ecb, kPage4k);
  }
  return sdx::isapi::kStatusSuccess;
}

extern "C" __attribute__((visibility("default"))) bool TerminateExtension(uint32_t flags) {
  return true;
}
