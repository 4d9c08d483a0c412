#pragma once
// Runs one of the built command-line tools as a real process, the way a user
// or the program does, and captures what it says. POSIX only.

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace kastra::test {

struct ToolRun {
    int exitCode = -1;
    std::string output;   // standard output and standard error together
};

// Runs build/bin/<tool> with args (already quoted as a shell would need) and
// dir as its current directory.
// Runs a shell command line and captures its standard output and error.
inline ToolRun runShell(const std::string& command)
{
    ToolRun r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        r.output.append(buf, n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// env: assignments put before the command ("TMPDIR='/x' ").
inline ToolRun runTool(const char* tool, const std::filesystem::path& dir, const std::string& args,
                       const std::string& env = {})
{
    return runShell("cd '" + dir.string() + "' && " + env + "'" + std::string(KASTRA_BIN_DIR) + "/" + tool + "' " + args);
}

} // namespace kastra::test
