// A host's trace log replayed by `vuzodo replay` gives the host's drawing:
// the records the host fetched equal the records of the replay.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LoadedLibrary.h"
#include "vuzodo/vuzodo.h"

namespace {

// The integers of the "outline" list of the command's JSON output.
std::vector<int> OutlineOfJson(const std::string& json) {
  const size_t from = json.find("\"outline\": [");
  const size_t to = json.find("\"fill\"", from);
  std::vector<int> out;
  if (from == std::string::npos || to == std::string::npos) return out;
  std::string part = json.substr(from + 11, to - from - 11);
  for (char& c : part) {
    if (c == '[' || c == ']' || c == ',') c = ' ';
  }
  std::istringstream in(part);
  for (int v; in >> v;) out.push_back(v);
  return out;
}

TEST(Replay, TheHostsRecordsComeBackFromItsTraceLog) {
  std::vector<int> host;
  std::filesystem::path log;
  {
    LoadedLibrary lib({.trace_log = true});
    VZ(lib, InitializeTTF)(500.0f);
    VZ(lib, SetDefaults)();
    std::u16string face = Wide("Arial");
    VZ(lib, SetFontFace)(W(face));
    VZ(lib, SetFontStyle)(EN_STYLE_BOLD);
    VZ(lib, SetTextHeight)(1.5f);
    VZ(lib, SetCharacterAngle)(0.1f);
    VZ(lib, SetAutoKern)(EN_TRUE);
    VZ(lib, SetTextHeight)(-1.0f);  // refused: the log still has it, the replay refuses it too
    float stops[2] = {2.0f, 5.0f};
    VZ(lib, SetIndentPositions)(stops, 2);
    VZ(lib, SetModeWordWrap)(EN_TRUE);
    VZ(lib, SetTextBoxWidth)(9.0f);
    VZ(lib, SetTextHorizontalAlign)(EN_HALIGN_CENTER);
    // Texts with what the log cannot quote: parentheses, commas, line feeds,
    // a semicolon after a parenthesis.
    std::u16string a = Wide("Tab\there, (odd) text;\nsecond line);\nthird (x)");
    VZ(lib, AppendCharactersEx)(W(a));
    int* data = nullptr;
    float box[8];
    VZ(lib, GetOutLinesEx)(-1, EN_RT_BORDER, &data, box);
    VZ(lib, DeleteTTFData)(data);
    VZ(lib, SetModeSuperscript)();
    std::u16string b = Wide("2");
    VZ(lib, AppendCharactersEx)(W(b));
    const int n = VZ(lib, GetMultilineOutLines)(-1, EN_RT_BORDER, &data, box);
    host.assign(data, data + n - 1);  // without the end mark
    VZ(lib, DeleteTTFData)(data);
    log = lib.Folder() / "TTFLog.txt";
    const std::filesystem::path keep = std::filesystem::temp_directory_path() /
                                       ("vuzodo-replay-" + std::to_string(::getpid()) + ".txt");
    std::filesystem::copy_file(log, keep, std::filesystem::copy_options::overwrite_existing);
    log = keep;
  }
  ASSERT_GT(host.size(), 300u);

  const std::string json = log.string() + ".json";
  const std::string command =
      std::string(VUZODO_CLI) + " replay " + log.string() + " -o " + json + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(json);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(OutlineOfJson(text.str()), host);
  std::filesystem::remove(log);
  std::filesystem::remove(json);
}

TEST(Replay, LinesThatAreNotCallsFailTheReplay) {
  const std::filesystem::path log = std::filesystem::temp_directory_path() /
                                    ("vuzodo-bad-" + std::to_string(::getpid()) + ".txt");
  std::ofstream(log) << "SetTextHeight(2.000000);\nthis is not a call\n";
  const std::string command = std::string(VUZODO_CLI) + " replay " + log.string() +
                              " > /dev/null 2>&1";
  EXPECT_NE(std::system(command.c_str()), 0);
  std::filesystem::remove(log);
}

}  // namespace
