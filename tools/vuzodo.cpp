// vuzodo: the command line of the text-to-outline engine.
#include <CLI/CLI.hpp>

#include "Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"vuzodo: text to vector outlines"};
  app.require_subcommand(1);
  // One line per failure: the option or input and why.
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "vuzodo: " + std::string(e.what()) + "\n";
  });
  vuzodo_cli::AddVersionCommand(app);
  vuzodo_cli::AddRenderCommand(app);
  vuzodo_cli::AddFontCommands(app);
  vuzodo_cli::AddReplayCommand(app);
  vuzodo_cli::AddShxCompileCommand(app);
  vuzodo_cli::AddFontConvertCommand(app);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
