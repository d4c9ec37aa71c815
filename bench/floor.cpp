#include "floor.hpp"

#include <fcntl.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <string_view>

namespace kestrune::bench {
namespace {

std::string readwhole(const std::string& path, bool& ok) {
    std::string bytes;
    ok = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t length = 0;
    for (;;) {
        if (length == bytes.size()) bytes.resize(bytes.size() * 2 + 4096);
        const ssize_t n = ::read(fd, bytes.data() + length, bytes.size() - length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return bytes;
        }
        if (n == 0) break;
        length += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(length);
    ok = true;
    return bytes;
}

std::vector<std::string> splitlines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t k = 0; k <= text.size(); ++k) {
        if (k < text.size() && text[k] != '\r' && text[k] != '\n') continue;
        if (k > start) lines.emplace_back(text.substr(start, k - start));
        start = k + 1;
    }
    return lines;
}

struct jpegerror {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void jpegerrorexit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<jpegerror*>(cinfo->err)->jump, 1); }
void jpegquiet(j_common_ptr) {}

// Plain C objects only between setjmp and longjmp.
bool writejpegfile(const unsigned char* rgb, int width, int height, std::FILE* f) {
    jpeg_compress_struct cinfo{};
    jpegerror err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegerrorexit;
    err.mgr.output_message = jpegquiet;
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
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(cinfo.next_scanline) * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool writepicture(const std::string& filename, const std::vector<unsigned char>& bitmap, int width, int height) {
    std::FILE* f = std::fopen(filename.c_str(), "wb");
    if (!f) return false;
    bool ok = writejpegfile(bitmap.data(), width, height, f);
    if (std::fclose(f) != 0) ok = false;
    return ok;
}

// The dump is a file the user keeps, and the show-file sequence promises
// that it survives a crash once written; the least that keeps that promise
// is paid here too: the bytes go into a temporary file that is flushed to
// the disk and renamed over the name, and the folder is flushed.
bool writesized(const std::string& folder, const std::string& name, std::size_t size) {
    const std::string temporary = folder + "." + name + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) return false;
    const std::string line(63, 'x');
    bool ok = true;
    for (std::size_t written = 0; written < size && ok;) {
        const std::size_t n = std::min(size - written, line.size() + 1);
        ok = std::fwrite(line.data(), 1, n - 1, f) == n - 1 && std::fputc('\n', f) != EOF;
        written += n;
    }
    ok = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0 && ok;
    if (std::fclose(f) != 0) ok = false;
    ok = ok && std::rename(temporary.c_str(), (folder + name).c_str()) == 0;
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = dir >= 0 && ::fsync(dir) == 0 && ok;
    if (dir >= 0) ::close(dir);
    return ok;
}

}  // namespace

std::vector<unsigned char> floorbitmap(int width, int height) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3, 255);
    // An ellipse outline, one pixel wide, about as much ink as a shape.
    const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
    const double rx = width * 0.45, ry = height * 0.33;
    for (int k = 0; k < 1000; ++k) {
        const double t = 2 * 3.141592653589793 * k / 1000;
        const int x = static_cast<int>(std::lround(cx + rx * std::cos(t)));
        const int y = static_cast<int>(std::lround(cy + ry * std::sin(t)));
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        p[0] = p[1] = p[2] = 0;
    }
    return rgb;
}

bool runfloor(const std::string& path, const std::string& folder, const std::vector<unsigned char>& bitmap, int width,
              int height, std::size_t dumpsize) {
    bool ok = false;
    const std::string text = readwhole(path, ok);
    const std::vector<std::string> lines = splitlines(text);
    ok = ok && !lines.empty();
    ok = writepicture(folder + "floorR.jpeg", bitmap, width, height) && ok;
    ok = writepicture(folder + "floorL.jpeg", bitmap, width, height) && ok;
    ok = writesized(folder, "floor_OMAData.csv", dumpsize) && ok;
    return ok;
}

}  // namespace kestrune::bench
