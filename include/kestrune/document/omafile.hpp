// The OMA document: one file held as its bytes, its text and its record list.
//
// A record is one line of the file without its separator: a tag, "=" and a
// value. Records are kept exactly as they stand in the file, in file order,
// duplicates kept.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "kestrune/document/trcfmt.hpp"
#include "kestrune/support/stringlist.hpp"

namespace kestrune {

class tomafileobj {
public:
    std::string omastr;        // the file as text (may be rewritten by the "|" split)
    std::string omastrasansi;  // the bytes exactly as read
    std::string omastrasbase64;
    std::string omastrashex;
    tstringlist omalist;          // the record list
    std::string omadatafilename;  // the path last read, for a file that exists
    std::string omajpegfilename;
    std::int32_t lastvalidresult = 0;
    tstringlist errorslist{true, true};  // sorted, duplicates ignored
    ttrcfmtsetting loadedtrcfmt;
    // Why the latest readomafile failed, in the system's words ("No such file
    // or directory", "Is a directory", "Permission denied", ...), or
    // kNotARegularFile; empty after a read that succeeded. Callers report it
    // as it stands rather than look at the path again.
    std::string readfailure;

    tomafileobj();  // create: runs init
    void init();
    void clear();

    // Reads the whole file (symbolic links followed) into omastrasansi and
    // omastr; omalist is left for omastrtolist. False when nothing exists at
    // the path (the document is then unchanged but for readfailure), when it
    // is a folder or cannot be opened, when it is not a regular file (a named
    // pipe, a socket or a device: refused at once, never waited for), when a
    // read fails part-way (an I/O error) or when memory runs out; readfailure
    // then says why, and after a failure part-way omastr and omastrasansi are
    // empty. loadedtrcfmt is cleared either way.
    bool readomafile(const std::filesystem::path& datafilename);
    // The reason readomafile gives for a pipe, a socket or a device.
    static constexpr const char* kNotARegularFile = "not a regular file";
    // Splits omastr into omalist: runs of separators end a record and never
    // make an empty one. Text that splits into one record holding "|" uses
    // "|" as separator: every "|" of omastr becomes CR LF and it splits again.
    bool omastrtolist();
    // Reads the next record of text from the 1-based position chptr and moves
    // chptr past the separator that ended it. A position past the end gives an
    // empty record and stays where it is.
    static void omareadtoeol(const std::string& text, std::size_t& chptr, std::string& record);
    std::string findvalue(std::string_view tag) const;
    bool listtoomastr();

    // True when the record list gives a non-empty value for _ApprovedTrace.
    bool TraceisApproved() const;
    // Whether the first TRCFMT record declares notation "1" (ASCII), and
    // whether it declares equal spacing ("E").
    bool omafileisascii() const;
    bool omafileiseven() const;
};

// Whether c separates records (ACK LF CR DC1 DC3 NAK SUB FS GS RS).
bool isrecordseparator(unsigned char c);

}  // namespace kestrune
