// A program of someone else's built against the installed core: reads a
// file, extracts its right-eye trace and draws it into a PNG picture, so
// that the core, Cairo and libjpeg all link.
#include <cstdio>

#include <kestrune/kestrune.hpp>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    kestrune::QVTLibInitialization();
    kestrune::tomafileobj doc;
    if (!doc.readomafile(argv[1])) return 2;
    doc.omastrtolist();
    kestrune::tradiilist radlist, right, left;
    radlist.extractradiilistfromomalist2(doc.omalist, &right, &left, true);
    if (!right.saveasjpeg(64, 64, kestrune::rightcode, argv[2], false)) return 3;
    std::printf("records %d, right points %d\n", doc.omalist.count(), right.readcount());
    return 0;
}
