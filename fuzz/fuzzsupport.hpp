// Helpers shared by the fuzz targets.
//
// A target aborts (and so reports a finding) when a property that must hold
// for every input fails; FUZZ_CHECK names the property in the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kestrune/document/omafile.hpp"
#include "kestrune/support/settings.hpp"

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace kestrune::fuzz {

inline std::string_view bytesof(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A document holding the bytes as if read from a file, split into records.
inline void loaddocument(tomafileobj& doc, std::string_view bytes) {
    doc.omastrasansi.assign(bytes);
    doc.omastr.assign(bytes);
    doc.omastrtolist();
}

// The decimal mark for this input: "," for half of the inputs, so that number
// reading is exercised under both regional settings.
inline void choosesettings(std::string_view bytes) {
    unsigned sum = 0;
    for (std::size_t k = 0; k < bytes.size() && k < 8; ++k) sum += static_cast<unsigned char>(bytes[k]);
    setregionalsettings((sum & 1) != 0 ? ',' : '.');
}

// Whether a record could be written as one line of a file: no byte of it
// would end the record early.
inline bool writableasrecord(std::string_view record) {
    for (const char c : record) {
        if (isrecordseparator(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace kestrune::fuzz
