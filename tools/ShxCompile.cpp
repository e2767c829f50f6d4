// vuzodo shx-compile: compiles shape source text (.shp) into an SHX font.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "Commands.h"
#include "ShpCompiler.h"

namespace vuzodo_cli {
namespace {

struct ShxCompileOptions {
  std::string input;
  std::string output;
  vuzodo_tools::ShpOptions shp;
};

int ShxCompile(const ShxCompileOptions& options) {
  std::ifstream in(options.input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot read\n", options.input.c_str());
    return 1;
  }
  const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto result = vuzodo_tools::CompileShp(source, options.shp);
  if (!result.ok) {
    std::fprintf(stderr, "%s: %s\n", options.input.c_str(), result.Describe().c_str());
    return 1;
  }
  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(result.bytes.data()),
            static_cast<std::streamsize>(result.bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write\n", options.output.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

void AddShxCompileCommand(CLI::App& app) {
  // The options live as long as the application: the callback runs after parsing.
  static ShxCompileOptions options;
  auto* command = app.add_subcommand("shx-compile", "compile shape source (.shp) into an SHX font");
  command->add_option("input", options.input, "shape source file")->required();
  command->add_option("-o,--output", options.output, "SHX file to write")->required();
  command->add_option("--version", options.shp.version, "shape file version")
      ->check(CLI::IsMember({"1.0", "1.1"}));
  command
      ->add_option("--empty-slots", options.shp.empty_slots,
                   "big fonts: unused index entries after the shapes")
      ->check(CLI::Range(0, 65535));
  command->callback([] { std::exit(ShxCompile(options)); });
}

}  // namespace vuzodo_cli
