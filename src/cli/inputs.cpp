#include "cli.hpp"
#include "kestrune/document/omafile.hpp"

namespace fs = std::filesystem;

namespace kestrune::cli {

bool readdocument(const std::string& filename, tomafileobj& doc, tcontext& ctx) {
    if (!doc.readomafile(fs::path(filename))) {
        ctx.error(filename + ": " + doc.readfailure);
        return false;
    }
    doc.omastrtolist();
    return true;
}

}  // namespace kestrune::cli
