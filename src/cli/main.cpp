// kestrune-cli: the command-line tool over the Kestrune core.
#include <exception>
#include <string>
#include <vector>

#include "cli.hpp"
#include "kestrune/support/memory.hpp"
#include "kestrune/support/settings.hpp"

int main(int argc, char** argv) {
    using namespace kestrune::cli;
    // File after file, on several threads: keep freed memory for the next one.
    kestrune::keepfreedmemory();
    toutput out(stdout);
    tcontext ctx(out, stderr);
    try {
        // Decimal mark and list separator from the environment, once.
        kestrune::QVTLibInitialization();
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
        return runcli(args, ctx);
    } catch (const std::exception& e) {
        ctx.error(e.what());
    } catch (...) {
        ctx.error("unexpected error");
    }
    return exitfailure;
}
