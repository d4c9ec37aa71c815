// Picture output: JPEG, PNG and SVG files of a shape, written safely.
#include "kestrune/shape/picture.hpp"

#include <cairo-svg.h>
#include <cairo.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>

#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace fs = std::filesystem;

namespace kestrune {

namespace {

// ---- writing through a temporary file ----

// A name for a temporary file beside the target: hidden, unlikely to clash,
// different for every call in this process.
std::string temporaryname(const std::string& filename) {
    static std::atomic<std::uint64_t> counter{0};
    const auto now = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const std::uint64_t mix =
        now ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(mix));
    return "." + filename + suffix + ".tmp";
}

// Makes sure the folder of target exists and that target may be replaced.
bool preparetarget(const fs::path& target) {
    std::error_code ec;
    if (target.empty() || !target.has_filename()) return false;
    const fs::path folder = target.parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        ec.clear();
        fs::create_directories(folder, ec);
        if (ec || !fs::is_directory(folder, ec)) return false;
    }
    const fs::file_status st = fs::status(target, ec);
    if (fs::exists(st)) {
        if (fs::is_directory(st)) return false;
        // A file the user made read-only keeps its picture.
        if (::access(target.c_str(), W_OK) != 0) return false;
    }
    return true;
}

// Runs body on a temporary file in the target's folder and, when body and
// every write succeed, renames the file over target. Anything else removes the
// temporary file and leaves target as it was.
template <class Body>
bool writereplacing(const fs::path& target, Body&& body) {
    if (!preparetarget(target)) return false;
    const fs::path folder = target.parent_path();
    const std::string name = target.filename().string();
    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = folder / temporaryname(name);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    bool ok = false;
    try {
        ok = body(f);
    } catch (...) {
        ok = false;
    }
    if (std::fflush(f) != 0 || std::ferror(f)) ok = false;
    if (std::fclose(f) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

cairo_status_t writetofile(void* closure, const unsigned char* data, unsigned int length) {
    auto* f = static_cast<std::FILE*>(closure);
    return std::fwrite(data, 1, length, f) == length ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
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

// Encodes an RGB24 image surface into f. Only plain C objects live in this
// function, so the jump back from an error skips no destructor.
bool encodejpeg(cairo_surface_t* surface, std::FILE* f) {
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (!data || width <= 0 || height <= 0) return false;

    jpeg_compress_struct cinfo{};
    jpegerror err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegerrorexit;
    err.mgr.output_message = jpegoutputmessage;
    if (setjmp(err.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    // The row buffer belongs to the encoder's memory pool and goes with it.
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(width) * 3, 1);
    while (cinfo.next_scanline < cinfo.image_height) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(
            data + static_cast<std::ptrdiff_t>(cinfo.next_scanline) * stride);
        JSAMPROW out = row[0];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = src[x];
            out[3 * x] = static_cast<JSAMPLE>((v >> 16) & 0xFF);
            out[3 * x + 1] = static_cast<JSAMPLE>((v >> 8) & 0xFF);
            out[3 * x + 2] = static_cast<JSAMPLE>(v & 0xFF);
        }
        jpeg_write_scanlines(&cinfo, row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
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

bool writejpeg(const tcairobitmap& bitmap, const fs::path& filename) {
    try {
        if (!bitmap.ok()) return false;
        cairo_surface_t* surface = bitmap.surface();
        return writereplacing(filename, [surface](std::FILE* f) { return encodejpeg(surface, f); });
    } catch (...) {
        return false;
    }
}

bool writepng(const tcairobitmap& bitmap, const fs::path& filename) {
    try {
        if (!bitmap.ok()) return false;
        cairo_surface_t* surface = bitmap.surface();
        return writereplacing(filename, [surface](std::FILE* f) {
            return cairo_surface_write_to_png_stream(surface, writetofile, f) == CAIRO_STATUS_SUCCESS;
        });
    } catch (...) {
        return false;
    }
}

bool writesvg(int width, int height, const std::function<bool(tcanvas&)>& draw,
              const fs::path& filename) {
    try {
        if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return false;
        return writereplacing(filename, [&](std::FILE* f) {
            cairo_surface_t* surface = cairo_svg_surface_create_for_stream(writetofile, f, width, height);
            cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
            cairo_t* cr = cairo_create(surface);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_paint(cr);
            bool ok = false;
            try {
                tcairocanvas canvas(cr);
                ok = draw && draw(canvas) && canvas.ok();
            } catch (...) {
                ok = false;
            }
            cairo_destroy(cr);
            cairo_surface_finish(surface);
            if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) ok = false;
            cairo_surface_destroy(surface);
            return ok;
        });
    } catch (...) {
        return false;
    }
}

bool tradiilist::saveasjpeg(int imwidth, int imheight, int eyecode, const std::string& jpegfilename,
                            bool ShowText) {
    try {
        const std::int32_t c = circ();
        const tjpegrequest request{imwidth, imheight, eyecode, ShowText};
        const fs::path target(jpegfilename);
        std::error_code ec;
        if (jpegfilename == lastjpegname && c == lastjpegcirc && request == lastjpegrequest &&
            !jpegfilename.empty() && fs::is_regular_file(target, ec))
            return true;
        lastjpegname = jpegfilename;
        lastjpegcirc = c;
        lastjpegrequest = request;

        bool ok = false;
        const tpictureformat format = pictureformatof(target);
        if (format == tpictureformat::svg) {
            ok = writesvg(imwidth, imheight,
                          [&](tcanvas& t) { return drawshape(t, imwidth, imheight, eyecode, ShowText); },
                          target);
        } else {
            tcairobitmap bitmap(imwidth, imheight);
            ok = bitmap.ok() && drawshape(bitmap.canvas(), imwidth, imheight, eyecode, ShowText) &&
                 bitmap.ok() &&
                 (format == tpictureformat::png ? writepng(bitmap, target) : writejpeg(bitmap, target));
        }
        // Only a picture actually written is remembered: after a failure the
        // next request draws and writes again instead of trusting whatever
        // file of that name happens to exist.
        if (!ok) {
            lastjpegname.clear();
            lastjpegcirc = 0;
        }
        return ok;
    } catch (...) {
        lastjpegname.clear();
        lastjpegcirc = 0;
        return false;
    }
}

}  // namespace kestrune
