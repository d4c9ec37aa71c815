// Picture output: JPEG, PNG and SVG files of a shape, written safely.
#include "kestrune/shape/picture.hpp"

#include <cairo-svg.h>
#include <cairo.h>
#include <jpeglib.h>
// The library's message codes; it needs jpeglib.h before it.
#include <jerror.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace fs = std::filesystem;

namespace kestrune {

namespace {

using tbytes = std::vector<unsigned char>;

// ---- the bytes of a picture, made in memory ----

// Each thread keeps the buffer of its last picture, so the next one is
// encoded without asking the allocator for memory again. A buffer grown
// past this is let go after use.
constexpr std::size_t kKeptBufferBytes = std::size_t{1} << 20;

thread_local tbytes sparebuffer;

// Borrows the thread's spare buffer, empty; a nested borrower gets a new one.
class tpicturebuffer {
public:
    tpicturebuffer() : bytes(std::exchange(sparebuffer, tbytes())) { bytes.clear(); }
    ~tpicturebuffer() {
        if (bytes.capacity() <= kKeptBufferBytes && bytes.capacity() > sparebuffer.capacity())
            sparebuffer = std::move(bytes);
    }
    tpicturebuffer(const tpicturebuffer&) = delete;
    tpicturebuffer& operator=(const tpicturebuffer&) = delete;
    tbytes bytes;
};

// Appends for Cairo's stream writers; never lets an exception into Cairo.
cairo_status_t appendbytes(void* closure, const unsigned char* data, unsigned int length) {
    try {
        auto* out = static_cast<tbytes*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_WRITE_ERROR;
    }
}

// ---- writing ----

constexpr const char* notencoded = "the picture could not be encoded";
constexpr const char* notdrawn = "the picture could not be drawn";

// Makes the picture's bytes with body and, when that succeeds, writes them
// to target (making missing folders) through the one safe writer. reason,
// when given, receives why nothing was written.
template <class Body>
bool writepicture(const fs::path& target, std::string* reason, tpersistence persistence, Body&& body) {
    tpicturebuffer buffer;
    if (!body(buffer.bytes)) {
        if (reason) *reason = notencoded;
        return false;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(buffer.bytes.data()), buffer.bytes.size());
    const twriteresult written = writefilesafely(target, bytes, tmissingfolders::create, persistence);
    if (!written && reason) *reason = written.reason;
    return static_cast<bool>(written);
}

// ---- JPEG ----

// libjpeg reports fatal errors through error_exit, which must not return: it
// jumps back to encodejpeg, which then gives up. Messages are not printed.
struct jpegerror {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void jpegerrorexit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<jpegerror*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void jpegoutputmessage(j_common_ptr) {}

// The encoder's output goes into a byte buffer, grown as it fills.
struct jpegbufferdest {
    jpeg_destination_mgr mgr;  // first, so the library's pointer is ours
    tbytes* out;
};

constexpr std::size_t kFirstJpegBytes = 16384;

void bufferdestinit(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<jpegbufferdest*>(cinfo->dest);
    bool grown = true;
    try {
        dest->out->resize(std::max(dest->out->capacity(), kFirstJpegBytes));
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    dest->mgr.next_output_byte = dest->out->data();
    dest->mgr.free_in_buffer = dest->out->size();
}

// Called with the buffer full: doubles it.
boolean bufferdestgrow(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<jpegbufferdest*>(cinfo->dest);
    const std::size_t used = dest->out->size();
    bool grown = true;
    try {
        dest->out->resize(used * 2);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    dest->mgr.next_output_byte = dest->out->data() + used;
    dest->mgr.free_in_buffer = dest->out->size() - used;
    return TRUE;
}

void bufferdestterm(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<jpegbufferdest*>(cinfo->dest);
    dest->out->resize(dest->out->size() - dest->mgr.free_in_buffer);
}

// The pixel layout of Cairo's RGB24 in memory, as the JPEG library names it:
// each pixel a native 32-bit word 0x00RRGGBB. Without the library's extended
// colour spaces the rows are converted to RGB first.
#ifdef JCS_EXTENSIONS
constexpr J_COLOR_SPACE kSurfaceColorSpace = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
constexpr int kSurfaceComponents = 4;
#else
constexpr J_COLOR_SPACE kSurfaceColorSpace = JCS_RGB;
constexpr int kSurfaceComponents = 3;
#endif

// One compressor per thread, set up once (defaults, quality 90) and used for
// every picture: the settings stay with it between pictures, and setting
// them up again, tables included, cost as much as a tenth of the encoding.
// After an error it is destroyed and set up afresh for the next picture.
struct tjpegcompressor {
    jpeg_compress_struct cinfo{};
    jpegerror err{};
    jpegbufferdest dest{};
    bool ready = false;

    ~tjpegcompressor() {
        if (ready) jpeg_destroy_compress(&cinfo);
    }
};

thread_local tjpegcompressor compressor;

// Encodes an RGB24 image surface into out. Only plain C objects live in this
// function, so the jump back from an error skips no destructor.
bool encodejpeg(cairo_surface_t* surface, tbytes& out) {
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    if (!data || width <= 0 || height <= 0) return false;

    tjpegcompressor& c = compressor;
    jpeg_compress_struct& cinfo = c.cinfo;
    if (setjmp(c.err.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        c.ready = false;
        return false;
    }
    if (!c.ready) {
        cinfo = jpeg_compress_struct{};
        cinfo.err = jpeg_std_error(&c.err.mgr);
        c.err.mgr.error_exit = jpegerrorexit;
        c.err.mgr.output_message = jpegoutputmessage;
        jpeg_create_compress(&cinfo);
        c.ready = true;
        c.dest.mgr.init_destination = bufferdestinit;
        c.dest.mgr.empty_output_buffer = bufferdestgrow;
        c.dest.mgr.term_destination = bufferdestterm;
        cinfo.dest = &c.dest.mgr;
        cinfo.input_components = kSurfaceComponents;
        cinfo.in_color_space = kSurfaceColorSpace;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 90, TRUE);
    }
    c.dest.out = &out;
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    jpeg_start_compress(&cinfo, TRUE);
#ifdef JCS_EXTENSIONS
    // The surface's rows go to the encoder as they are, a batch at a time.
    constexpr int kBatch = 64;
    JSAMPROW rows[kBatch];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int first = static_cast<int>(cinfo.next_scanline);
        const int count = std::min(kBatch, height - first);
        for (int k = 0; k < count; ++k) rows[k] = data + static_cast<std::ptrdiff_t>(first + k) * stride;
        jpeg_write_scanlines(&cinfo, rows, static_cast<JDIMENSION>(count));
    }
#else
    // The row buffer belongs to the encoder's memory pool and goes with it.
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(width) * 3, 1);
    while (cinfo.next_scanline < cinfo.image_height) {
        const auto* src =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(cinfo.next_scanline) * stride);
        JSAMPROW rgb = row[0];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = src[x];
            rgb[3 * x] = static_cast<JSAMPLE>((v >> 16) & 0xFF);
            rgb[3 * x + 1] = static_cast<JSAMPLE>((v >> 8) & 0xFF);
            rgb[3 * x + 2] = static_cast<JSAMPLE>(v & 0xFF);
        }
        jpeg_write_scanlines(&cinfo, row, 1);
    }
#endif
    jpeg_finish_compress(&cinfo);
    return true;
}

}  // namespace

tpictureformat pictureformatof(const fs::path& filename) {
    std::string ext = filename.extension().string();
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == ".png") return tpictureformat::png;
    if (ext == ".svg") return tpictureformat::svg;
    return tpictureformat::jpeg;
}

bool writejpeg(const tcairobitmap& bitmap, const fs::path& filename, std::string* reason, tpersistence persistence) {
    try {
        if (!bitmap.ok()) {
            if (reason) *reason = notdrawn;
            return false;
        }
        cairo_surface_t* surface = bitmap.surface();
        return writepicture(filename, reason, persistence, [surface](tbytes& out) { return encodejpeg(surface, out); });
    } catch (const std::bad_alloc&) {
        if (reason) *reason = notencoded;
        return false;
    }
}

bool writepng(const tcairobitmap& bitmap, const fs::path& filename, std::string* reason, tpersistence persistence) {
    try {
        if (!bitmap.ok()) {
            if (reason) *reason = notdrawn;
            return false;
        }
        cairo_surface_t* surface = bitmap.surface();
        return writepicture(filename, reason, persistence, [surface](tbytes& out) {
            return cairo_surface_write_to_png_stream(surface, appendbytes, &out) == CAIRO_STATUS_SUCCESS;
        });
    } catch (const std::bad_alloc&) {
        if (reason) *reason = notencoded;
        return false;
    }
}

bool writesvg(int width, int height, const std::function<bool(tcanvas&)>& draw, const fs::path& filename,
              std::string* reason, tpersistence persistence) {
    try {
        if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
            if (reason) *reason = notdrawn;
            return false;
        }
        return writepicture(filename, reason, persistence, [&](tbytes& out) {
            cairo_surface_t* surface = cairo_svg_surface_create_for_stream(appendbytes, &out, width, height);
            cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
            cairo_t* cr = cairo_create(surface);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_paint(cr);
            bool ok = false;
            try {
                tcairocanvas canvas(cr);
                ok = draw && draw(canvas) && canvas.ok();
            } catch (const std::bad_alloc&) {
                ok = false;
            }
            cairo_destroy(cr);
            cairo_surface_finish(surface);
            if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) ok = false;
            cairo_surface_destroy(surface);
            return ok;
        });
    } catch (const std::bad_alloc&) {
        if (reason) *reason = notencoded;
        return false;
    }
}

bool tradiilist::saveasjpeg(int imwidth, int imheight, int eyecode, const std::string& jpegfilename, bool ShowText,
                            std::string* reason, tpersistence persistence) {
    try {
        const std::int32_t c = circ();
        const tjpegrequest request{imwidth, imheight, eyecode, ShowText};
        const fs::path target(jpegfilename);
        std::error_code ec;
        if (jpegfilename == lastjpegname && c == lastjpegcirc && request == lastjpegrequest && !jpegfilename.empty() &&
            fs::is_regular_file(target, ec))
            return true;
        lastjpegname = jpegfilename;
        lastjpegcirc = c;
        lastjpegrequest = request;

        bool ok = false;
        const tpictureformat format = pictureformatof(target);
        if (format == tpictureformat::svg) {
            ok = writesvg(
                imwidth, imheight, [&](tcanvas& t) { return drawshape(t, imwidth, imheight, eyecode, ShowText); },
                target, reason, persistence);
        } else {
            tcairobitmap bitmap(imwidth, imheight);
            if (bitmap.ok() && drawshape(bitmap.canvas(), imwidth, imheight, eyecode, ShowText) && bitmap.ok()) {
                ok = format == tpictureformat::png ? writepng(bitmap, target, reason)
                                                   : writejpeg(bitmap, target, reason, persistence);
            } else if (reason) {
                *reason = notdrawn;
            }
        }
        // Only a picture actually written is remembered: after a failure the
        // next request draws and writes again instead of trusting whatever
        // file of that name happens to exist.
        if (!ok) {
            lastjpegname.clear();
            lastjpegcirc = 0;
        }
        return ok;
    } catch (const std::bad_alloc&) {
        lastjpegname.clear();
        lastjpegcirc = 0;
        if (reason) *reason = notdrawn;
        return false;
    }
}

}  // namespace kestrune
