// Runs the eqlink executable in a directory and collects what it printed
// and its exit status.
#pragma once

#include <filesystem>
#include <string>

namespace tools_test {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

// `args` is appended to the command line as written (quote as a shell would).
ToolRun run_tool(const std::filesystem::path& dir, const std::string& args);

// Writes `text` to dir/name.
void write_file(const std::filesystem::path& dir, const std::string& name, const std::string& text);
std::string read_file(const std::filesystem::path& path);

std::string example(const std::string& name);
// The example file's path in single quotes, for a command line.
std::string quoted_example(const std::string& name);
// Words joined by blanks into a command line.
std::string words(std::initializer_list<std::string> parts);

}  // namespace tools_test
