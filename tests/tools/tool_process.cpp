#include "tool_process.hpp"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace tools_test {

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::filesystem::path& dir, const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
}

ToolRun run_tool(const std::filesystem::path& dir, const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && '" + EQLINK_TOOL + "' " + args +
                                " > tool.out 2> tool.err";
    const int raw = std::system(command.c_str());
    ToolRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file(dir / "tool.out");
    r.err = read_file(dir / "tool.err");
    return r;
}

std::string quoted_example(const std::string& name) {
    std::string q(1, '\'');
    q.append(example(name)).push_back('\'');
    return q;
}

std::string words(std::initializer_list<std::string> parts) {
    std::string line;
    for (const auto& p : parts) {
        if (!line.empty()) line.push_back(' ');
        line.append(p);
    }
    return line;
}

std::string example(const std::string& name) { return (std::filesystem::path(EQLINK_EXAMPLES_DIR) / name).string(); }

}  // namespace tools_test
