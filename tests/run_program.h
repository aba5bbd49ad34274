// Running a program of the build from a test: its standard output, its error output and its exit
// status. The test's target defines KOLVA_BIN_DIR, the folder of the programs.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace kolva::test {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// arg quoted for the shell.
inline std::string Quote(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a program of the build with arguments; standard input is empty.
inline Outcome RunProgram(const std::string& program, const std::vector<std::string>& args) {
    static TempDir scratch;
    std::string command = Quote(std::string(KOLVA_BIN_DIR) + "/" + program);
    for (const std::string& a : args) command += " " + Quote(a);
    const auto errFile = scratch / "stderr";
    command += " </dev/null 2>" + Quote(errFile.string());
    Outcome o;
    FILE* pipe = popen(command.c_str(), "r");
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) o.out.append(buf, n);
    const int raw = pclose(pipe);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.err = ReadBytes(errFile);
    return o;
}

}  // namespace kolva::test
