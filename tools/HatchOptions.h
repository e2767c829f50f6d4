// The hatch options of `vuzodo render`: --hatch KIND:key=value,... (repeatable)
// registers a hatch pattern through the interface; --return names the streams.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace vuzodo_cli {

// Adds --hatch (collected into `hatches`) and --return (written into `type`, the
// EN_ReturnType) to the render subcommand.
void AddHatchOptions(CLI::App& render, std::vector<std::string>& hatches, int& type);

// Registers every request in order; prints the first bad one and returns false.
bool ApplyHatches(const std::vector<std::string>& hatches);

// Registers the requests (already accepted by ApplyHatches) with the command's own hatching
// library instead, for --weld, lengths scaled by `unit` as the engine scales them; those
// registered before are dropped.
void RegisterWeldHatches(const std::vector<std::string>& hatches, float unit);

}  // namespace vuzodo_cli
