#include "kestrune/document/omafile.hpp"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrune {
namespace {

// Whether each byte value separates records. A plain array indexed in the
// scanning loops keeps the per-byte cost to one load, in every build type.
struct separatortable {
    bool is[256] = {};
    constexpr separatortable() {
        for (const unsigned char c : {6, 10, 13, 17, 19, 21, 26, 28, 29, 30}) is[c] = true;
    }
};

constexpr separatortable kSeparators{};

// Every separator is below 32, so text is scanned a block of bytes at a
// time for bytes below 32, and only those are looked up: sixteen bytes with
// SSE2 (every x86-64 processor has it), else eight in a 64-bit word.
#if defined(__SSE2__)
constexpr std::size_t kBlock = 16;

// Bits (bit k for byte k) of the bytes below 32 among the kBlock bytes at p.
inline unsigned lowbytes(const unsigned char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Unsigned, a byte is below 32 when the smaller of it and 31 is itself.
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(31)), v)));
}
#else
constexpr std::size_t kBlock = 8;

inline unsigned lowbytes(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, kBlock);
    // Whether any byte is below 32. (The borrow of the subtraction can mark
    // a byte above a low one as well, never a word without one.)
    if (((w - 0x2020202020202020ull) & ~w & 0x8080808080808080ull) == 0) return 0;
    unsigned bits = 0;
    for (std::size_t k = 0; k < kBlock; ++k)
        if (p[k] < 32) bits |= 1u << k;
    return bits;
}
#endif

constexpr unsigned kBlockBits = (1u << kBlock) - 1;

// Bits of the separators among the kBlock bytes at p.
inline unsigned separatorbits(const unsigned char* p) {
    unsigned low = lowbytes(p);
    unsigned bits = 0;
    while (low != 0) {
        const int k = std::countr_zero(low);
        if (kSeparators.is[p[k]]) bits |= 1u << k;
        low &= low - 1;
    }
    return bits;
}

// The first separator at or after p, or end.
const unsigned char* findseparator(const unsigned char* p, const unsigned char* const end) {
    while (static_cast<std::size_t>(end - p) >= kBlock) {
        const unsigned bits = separatorbits(p);
        if (bits != 0) return p + std::countr_zero(bits);
        p += kBlock;
    }
    const bool* const sep = kSeparators.is;
    while (p != end && !sep[*p]) ++p;
    return p;
}

// The number of records text splits into: runs of content between
// separators, each counted where a content byte follows a separator (or
// starts the text).
std::size_t countrecords(const std::string& text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    std::size_t records = 0;
    bool aftersep = true;
    while (static_cast<std::size_t>(end - p) >= kBlock) {
        const unsigned seps = separatorbits(p);
        const unsigned content = ~seps & kBlockBits;
        const unsigned starts = content & ((seps << 1) | (aftersep ? 1u : 0u));
        records += static_cast<std::size_t>(std::popcount(starts));
        aftersep = ((seps >> (kBlock - 1)) & 1u) != 0;
        p += kBlock;
    }
    const bool* const sep = kSeparators.is;
    for (; p != end; ++p) {
        const bool content = !sep[*p];
        records += content && aftersep;
        aftersep = !content;
    }
    return records;
}

// text with every "|" replaced by CR LF.
std::string barstolineends(const std::string& text, std::size_t bars) {
    std::string out;
    out.reserve(text.size() + bars);
    std::size_t from = 0;
    for (std::size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', from)) {
        out.append(text, from, bar - from).append("\r\n");
        from = bar + 1;
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::size_t countbars(const std::string& text) {
    std::size_t bars = 0;
    for (std::size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', bar + 1)) ++bars;
    return bars;
}

// Closes a file descriptor when it goes out of scope.
class fdguard {
public:
    explicit fdguard(int fd) : fd_(fd) {}
    ~fdguard() {
        if (fd_ >= 0) ::close(fd_);
    }
    fdguard(const fdguard&) = delete;
    fdguard& operator=(const fdguard&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The system's words for an errno value ("No such file or directory").
std::string systemwords(int err) { return std::generic_category().message(err); }

// Opens the regular file at path, which stat gave st, for reading; fills st
// anew from the open file. Anything else is refused with its reason in why,
// and -1 returned: a folder, and, without being opened, a named pipe, a
// socket or a device (/dev/zero, say, would never end; the open of a pipe
// would wait for a writer). The open does not wait either, and the type is
// checked again on what it opened, in case the path changed in between.
int openregularfile(const std::filesystem::path& path, struct stat& st, std::string& why) {
    if (S_ISDIR(st.st_mode)) {
        why = systemwords(EISDIR);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        why = tomafileobj::kNotARegularFile;
        return -1;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        why = systemwords(errno);
        return -1;
    }
    int err = 0;
    if (::fstat(fd, &st) != 0) {
        err = errno;
    } else if (S_ISDIR(st.st_mode)) {
        err = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        why = tomafileobj::kNotARegularFile;
        return -1;
    } else if (::fcntl(fd, F_SETFL, 0) != 0) {
        // Reads of a regular file wait for the disk as usual: a file system
        // that honoured O_NONBLOCK could otherwise end the reading early.
        err = errno;
    }
    if (err != 0) {
        ::close(fd);
        why = systemwords(err);
        return -1;
    }
    return fd;
}

// The first buffer holds a regular file whole when its size is plausible; a
// larger declared size (a sparse file, say) is not trusted for allocation up
// front: the buffer then grows with what actually arrives.
constexpr std::size_t kMinBuffer = 64 * 1024;
constexpr std::size_t kMaxInitialBuffer = 256u * 1024 * 1024;

// Reads everything the descriptor delivers into bytes. Returns 0, or the
// errno of a read that failed: the bytes up to there are not the file.
int readall(int fd, const struct stat& st, std::string& bytes) {
    std::size_t capacity = kMinBuffer;
    // The size of a regular file, 0 when it has none to go by.
    std::size_t declared = 0;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        declared = static_cast<std::size_t>(st.st_size);
        // One spare byte lets the final read see the end of the file without
        // growing the buffer.
        if (declared < kMaxInitialBuffer)
            capacity = declared + 1;
        else
            capacity = kMaxInitialBuffer;
    }
    std::size_t length = 0;
    bytes.resize(capacity);
    for (;;) {
        if (length == bytes.size()) bytes.resize(bytes.size() * 2);
        const ssize_t n = ::read(fd, bytes.data() + length, bytes.size() - length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        length += static_cast<std::size_t>(n);
        // A regular file read up to the size fstat gave it is whole: the
        // further read that would only report its end is saved. (A file
        // that grows meanwhile gives a snapshot of some moment either way.)
        if (length == declared) break;
    }
    bytes.resize(length);
    return 0;
}

}  // namespace

bool isrecordseparator(unsigned char c) { return kSeparators.is[c]; }

tomafileobj::tomafileobj() { init(); }

// The lists and the descriptor are members and exist for the object's whole
// life, so the only thing left to (re)initialise is the validity result;
// existing lists and texts are kept.
void tomafileobj::init() { lastvalidresult = 0; }

void tomafileobj::clear() {
    omalist.clear();
    omastr.clear();
    omastrasansi.clear();
    omastrashex.clear();
    omastrasbase64.clear();
    omadatafilename.clear();
    omajpegfilename.clear();
}

bool tomafileobj::readomafile(const std::filesystem::path& datafilename) {
    bool opened = false;
    readfailure.clear();
    try {
        struct stat st {};
        if (::stat(datafilename.c_str(), &st) != 0) {  // follows links
            // Nothing there (or out of reach): the document stays as it is.
            readfailure = systemwords(errno);
        } else {
            omadatafilename = datafilename.string();
            const int fd = openregularfile(datafilename, st, readfailure);
            const fdguard guard(fd);
            if (fd >= 0) {
                omastr.clear();
                omastrasansi.clear();
                int err = 0;
                try {
                    std::string bytes;
                    err = readall(fd, st, bytes);
                    if (err == 0) {
                        omastr = bytes;  // text is bytes: each byte is the character of its code
                        omastrasansi = std::move(bytes);
                    }
                } catch (const std::bad_alloc&) {
                    err = ENOMEM;
                }
                opened = err == 0;
                if (!opened) {
                    // A read error or memory running out part-way: the part
                    // read is not the file, so no half-filled text is left.
                    omastr.clear();
                    omastr.shrink_to_fit();
                    omastrasansi.clear();
                    omastrasansi.shrink_to_fit();
                    readfailure = systemwords(err);
                }
            }
        }
    } catch (const std::bad_alloc&) {
        opened = false;
        try {
            readfailure = systemwords(ENOMEM);
        } catch (const std::bad_alloc&) {
            // Not even the reason fits; readfailure stays empty.
        }
    }
    loadedtrcfmt.clear();
    return opened;
}

void tomafileobj::omareadtoeol(const std::string& text, std::size_t& chptr, std::string& record) {
    record.clear();
    const std::size_t n = text.size();
    const std::size_t from = chptr == 0 ? 0 : chptr - 1;  // to 0-based; position 0 reads as 1
    if (from >= n) return;                                // past the end: nothing to read
    const bool* const sep = kSeparators.is;
    const unsigned char* const base = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = base + n;
    const unsigned char* p = base + from;
    while (p != end && sep[*p]) ++p;
    const unsigned char* const start = p;
    p = findseparator(p, end);
    record.assign(reinterpret_cast<const char*>(start), static_cast<std::size_t>(p - start));
    if (p != end) ++p;  // the separator that ended the record is consumed
    chptr = static_cast<std::size_t>(p - base) + 1;
}

bool tomafileobj::omastrtolist() {
    try {
        for (int pass = 0; pass < 2; ++pass) {
            omalist.clear();
            // Counting first costs one quick pass and saves regrowing a list
            // of millions of records.
            const std::size_t records = countrecords(omastr);
            auto& items = omalist.items();
            items.reserve(records);
            // The records as omareadtoeol reads them one after another: runs
            // of content, each made a string in the list where it stands (a
            // list kept sorted places each one itself).
            const bool* const sep = kSeparators.is;
            const unsigned char* p = reinterpret_cast<const unsigned char*>(omastr.data());
            const unsigned char* const end = p + omastr.size();
            for (;;) {
                while (p != end && sep[*p]) ++p;
                if (p == end) break;
                const unsigned char* const start = p;
                p = findseparator(p, end);
                const std::string_view record(reinterpret_cast<const char*>(start),
                                              static_cast<std::size_t>(p - start));
                if (omalist.sorted()) {
                    omalist.add(std::string(record));
                } else {
                    items.emplace_back(record);
                }
            }
            if (pass > 0 || omalist.count() != 1) break;
            // One record holding "|": the file uses "|" as its record separator.
            const std::size_t bars = countbars(omastr);
            if (bars == 0) break;
            omastr = barstolineends(omastr, bars);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the list holds the records split so far.
    }
    return true;
}

std::string tomafileobj::findvalue(std::string_view tag) const {
    try {
        return omalist.value(tag);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

bool tomafileobj::listtoomastr() {
    try {
        std::size_t total = 0;
        for (const auto& record : omalist) total += record.size() + 2;
        std::string text;
        text.reserve(total);
        for (const auto& record : omalist) {
            text.append(record);
            text.append("\r\n");
        }
        omastr = std::move(text);
    } catch (const std::bad_alloc&) {
        // Out of memory: the text stays as it was.
    }
    return true;
}

bool tomafileobj::TraceisApproved() const { return !omalist.value("_ApprovedTrace").empty(); }

bool tomafileobj::omafileisascii() const {
    ttrcfmtsetting fmt;
    fmt.decodetrcfmtstr(omalist.value("TRCFMT"));
    return fmt.trcfmtmode == '1';
}

bool tomafileobj::omafileiseven() const {
    ttrcfmtsetting fmt;
    fmt.decodetrcfmtstr(omalist.value("TRCFMT"));
    return fmt.spacing == 'E';
}

}  // namespace kestrune
