// The document: bytes read from a file, split into records, tags looked up.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzzsupport.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/document/records.hpp"

using namespace kestrune;

namespace {

// An in-memory file that every input is written to, so that the reading
// itself (open, size, read loop) runs on each input without touching a disk.
int memoryfile() {
    static const int fd = ::memfd_create("kestrune-fuzz", MFD_CLOEXEC);
    return fd;
}

bool writememoryfile(int fd, std::string_view bytes) {
    if (::ftruncate(fd, 0) != 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesof(data, size);
    const int fd = memoryfile();
    if (fd < 0 || !writememoryfile(fd, bytes)) return 0;

    tomafileobj doc;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    FUZZ_CHECK(doc.readomafile(path));
    FUZZ_CHECK(doc.omastrasansi == bytes);
    FUZZ_CHECK(doc.omastr == bytes);
    FUZZ_CHECK(doc.omastrtolist());

    // Every record is non-empty and holds no separator; together they hold
    // every other byte of the text in order ("|" too, unless the file was
    // split at "|").
    const bool splitatbars = doc.omastr != bytes;
    std::string content;
    for (const char c : bytes) {
        if (isrecordseparator(static_cast<unsigned char>(c))) continue;
        if (splitatbars && c == '|') continue;
        content.push_back(c);
    }
    std::string joined;
    for (const std::string& record : doc.omalist) {
        FUZZ_CHECK(!record.empty());
        FUZZ_CHECK(fuzz::writableasrecord(record));
        joined += record;
    }
    FUZZ_CHECK(joined == content);

    // Lookups of the tags the rest of the system asks for, and of the first
    // record's own tag.
    for (const char* tag : {"TRCFMT", "R", "A", "ZFMT", "Z", "DRILLE", "CIRC", "_ApprovedTrace", ""}) {
        (void)doc.findvalue(tag);
    }
    if (doc.omalist.count() > 0) {
        const trecordparts first = splitrecord(doc.omalist[0]);
        if (first.hasvalue) FUZZ_CHECK(doc.findvalue(first.tag) == first.value);
    }

    // Reading record by record from any position ends and stays in the text.
    std::size_t chptr = size / 2;
    std::string record;
    for (int i = 0; i < 4; ++i) {
        const std::size_t before = chptr;
        tomafileobj::omareadtoeol(doc.omastr, chptr, record);
        FUZZ_CHECK(chptr >= before);
        FUZZ_CHECK(chptr <= doc.omastr.size() + 1 || chptr == before);
    }

    // Back to text: the records joined by CR LF.
    FUZZ_CHECK(doc.listtoomastr());
    return 0;
}
