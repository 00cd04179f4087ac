#include "support/ProgramRun.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/ScratchDir.h"

namespace kestrane::testing {

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ProgramRun RunProgram(const std::string& commandLine) {
    const ScratchDir dir("kestrane-run");
    const std::string out = dir.Slashed() + "out", err = dir.Slashed() + "err";
    const int raw = std::system((commandLine + " >" + out + " 2>" + err).c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Slurp(out);
    run.err = Slurp(err);
    return run;
}

}  // namespace kestrane::testing
