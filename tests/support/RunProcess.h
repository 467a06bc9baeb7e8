#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace test_support {

struct ProcessResult {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

// Runs a shell command line and collects what it prints.
inline ProcessResult runCommand(const std::string& commandLine) {
    ProcessResult result;
    FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) result.output.append(buf, n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace test_support
