// Picture output: the JPEG, PNG and SVG writers and saveasjpeg of a radii
// list. Written JPEGs are decoded back with the JPEG library itself.
#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/shape/picture.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "testsupport.hpp"

#include <cairo.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::entries;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

constexpr std::int32_t kShape = 14799057;  // red 209, green 208, blue 225

// ---- decoding a JPEG back ----

struct decodedjpeg {
    bool ok = false;
    int width = 0, height = 0, components = 0;
    bool progressive = false;
    std::vector<unsigned> quant0;    // the luminance quantisation table
    std::vector<unsigned char> rgb;  // width * height * 3

    std::int32_t pixel(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return rgb[i] | (rgb[i + 1] << 8) | (rgb[i + 2] << 16);
    }
};

struct decodeerror {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void decodeerrorexit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<decodeerror*>(cinfo->err)->jump, 1);
}

void decodejpeg(const std::string& bytes, decodedjpeg& out) {
    jpeg_decompress_struct cinfo{};
    decodeerror err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = decodeerrorexit;
    if (setjmp(err.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        out.ok = false;
        return;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    out.width = static_cast<int>(cinfo.image_width);
    out.height = static_cast<int>(cinfo.image_height);
    out.components = cinfo.num_components;
    out.progressive = cinfo.progressive_mode;
    if (cinfo.quant_tbl_ptrs[0])
        out.quant0.assign(cinfo.quant_tbl_ptrs[0]->quantval, cinfo.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    out.ok = true;
}

decodedjpeg decodefile(const fs::path& p) {
    decodedjpeg d;
    decodejpeg(read_file(p), d);
    return d;
}

// The luminance table the library's defaults give at quality 90.
std::vector<unsigned> quality90table() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    std::vector<unsigned> t(cinfo.quant_tbl_ptrs[0]->quantval, cinfo.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
    jpeg_destroy_compress(&cinfo);
    return t;
}

bool near(std::int32_t got, std::int32_t want, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(((got >> shift) & 0xFF) - ((want >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

// ---- reading a PNG back ----

struct pngpicture {
    cairo_surface_t* s;
    explicit pngpicture(const fs::path& p) : s(cairo_image_surface_create_from_png(p.c_str())) {}
    ~pngpicture() { cairo_surface_destroy(s); }
    bool ok() const { return cairo_surface_status(s) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(s); }
    int height() const { return cairo_image_surface_get_height(s); }
    std::int32_t pixel(int x, int y) const {
        const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                                 y * cairo_image_surface_get_stride(s));
        const std::uint32_t v = row[x];
        return static_cast<std::int32_t>(((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16));
    }
};

// A test bitmap: black frame, shape-coloured block in the middle.
void paintsample(tcairobitmap& bmp) {
    tcanvas& t = bmp.canvas();
    t.Rectangle(0, 0, bmp.width(), bmp.height());
    t.setbrushcolor(kShape);
    t.setpencolor(kShape);
    t.Rectangle(30, 30, 75, 75);
}

// ---- the writers ----

TEST(PictureFormat, ChosenByExtension) {
    struct formatcase {
        const char* name;
        tpictureformat format;
    };
    for (const formatcase& c : std::vector<formatcase>{{"a/b/__TMP_OMA_jobR.jpeg", tpictureformat::jpeg},
                                                       {"x.jpg", tpictureformat::jpeg},
                                                       {"x.PNG", tpictureformat::png},
                                                       {"x.png", tpictureformat::png},
                                                       {"dir.svg/x.Svg", tpictureformat::svg},
                                                       {"x.svg.bak", tpictureformat::jpeg},
                                                       {"png", tpictureformat::jpeg},
                                                       {"", tpictureformat::jpeg}})
        EXPECT_EQ(pictureformatof(c.name), c.format) << c.name;
}

TEST(WriteJpeg, BaselineRgbAtQuality90) {
    TempDir dir;
    tcairobitmap bmp(105, 80);
    paintsample(bmp);
    const fs::path p = dir / "pic.jpeg";
    ASSERT_TRUE(writejpeg(bmp, p));
    const std::string bytes = read_file(p);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
    EXPECT_NE(bytes.find("\xFF\xC0", 0, 2), std::string::npos);  // baseline frame
    EXPECT_EQ(bytes.find("\xFF\xC2", 0, 2), std::string::npos);  // no progressive frame

    const decodedjpeg d = decodefile(p);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 105);
    EXPECT_EQ(d.height, 80);
    EXPECT_EQ(d.components, 3);
    EXPECT_FALSE(d.progressive);
    EXPECT_EQ(d.quant0, quality90table());
    EXPECT_TRUE(near(d.pixel(52, 52), kShape, 6)) << std::hex << d.pixel(52, 52);
    EXPECT_TRUE(near(d.pixel(15, 15), 0xFFFFFF, 6)) << std::hex << d.pixel(15, 15);
    EXPECT_TRUE(near(d.pixel(0, 40), 0, 60)) << std::hex << d.pixel(0, 40);
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"pic.jpeg"});
}

// The bytes a plain use of the JPEG library gives for the bitmap's pixels
// as RGB rows: defaults, quality 90.
std::string plainjpeg(const tcairobitmap& bmp) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = static_cast<JDIMENSION>(bmp.width());
    cinfo.image_height = static_cast<JDIMENSION>(bmp.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(bmp.width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < bmp.width(); ++x) {
            const std::int32_t c = bmp.pixel(x, static_cast<int>(cinfo.next_scanline));
            row[3 * x] = static_cast<unsigned char>(c & 0xFF);
            row[3 * x + 1] = static_cast<unsigned char>((c >> 8) & 0xFF);
            row[3 * x + 2] = static_cast<unsigned char>((c >> 16) & 0xFF);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(mem), size);
    std::free(mem);
    return bytes;
}

// The writer hands the surface's rows to the library as they are and keeps
// one encoder per thread between pictures; neither may change a byte, for
// any size or order of sizes (the encoder's state from a larger picture must
// not leak into a smaller one).
TEST(WriteJpeg, SameBytesAsAPlainEncodingWhateverCameBefore) {
    TempDir dir;
    struct sizecase {
        int width, height;
    };
    int k = 0;
    for (const sizecase& c : std::vector<sizecase>{
             {105, 105}, {40, 30}, {105, 105}, {1, 1}, {300, 7}, {7, 300}, {17, 33}, {105, 105}, {640, 480}}) {
        tcairobitmap bmp(c.width, c.height);
        paintsample(bmp);
        tcanvas& t = bmp.canvas();
        // Colours that differ from pixel to pixel, so every block matters.
        for (int x = 0; x < c.width; x += 3) {
            t.setpencolor(static_cast<std::int32_t>(0x10203 * (x + k) + 0x4080C0 * (x % 7)));
            t.MoveTo(x, 0);
            t.LineTo(c.width - 1 - x / 2, c.height - 1);
        }
        const fs::path p = dir / ("pic" + std::to_string(k++) + ".jpeg");
        ASSERT_TRUE(writejpeg(bmp, p));
        EXPECT_EQ(read_file(p), plainjpeg(bmp)) << c.width << "x" << c.height;
    }
}

// Pictures are written as every file is: a symbolic link at the picture's
// name stays a link and the picture replaces the file it leads to (a
// dangling link gets that file made), and a replaced picture keeps its
// permissions.
TEST(PictureWriters, KeepALinkAndThePermissionsOfWhatTheyReplace) {
    TempDir dir;
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    write_file(dir / "other.jpeg", "earlier picture");
    fs::permissions(dir / "other.jpeg", mode);
    fs::create_symlink("other.jpeg", dir / "pic.jpeg");
    fs::create_symlink("made.png", dir / "dangling.png");
    tcairobitmap bmp(8, 8);
    ASSERT_TRUE(writejpeg(bmp, dir / "pic.jpeg"));
    ASSERT_TRUE(writepng(bmp, dir / "dangling.png"));
    EXPECT_TRUE(fs::is_symlink(dir / "pic.jpeg"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.png"));
    EXPECT_TRUE(decodefile(dir / "other.jpeg").ok);
    EXPECT_TRUE(pngpicture(dir / "made.png").ok());
    EXPECT_EQ(fs::status(dir / "other.jpeg").permissions(), mode);
    EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"dangling.png", "made.png", "other.jpeg", "pic.jpeg"}));
}

TEST(WritePng, KeepsEveryPixel) {
    TempDir dir;
    tcairobitmap bmp(40, 30);
    paintsample(bmp);
    const fs::path p = dir / "pic.png";
    ASSERT_TRUE(writepng(bmp, p));
    pngpicture png(p);
    ASSERT_TRUE(png.ok());
    ASSERT_EQ(png.width(), 40);
    ASSERT_EQ(png.height(), 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(png.pixel(x, y), bmp.pixel(x, y)) << x << "," << y;
}

TEST(WriteSvg, WritesVectorsOrNothing) {
    TempDir dir;
    const fs::path p = dir / "pic.svg";
    ASSERT_TRUE(writesvg(
        105, 105,
        [](tcanvas& t) {
            const std::vector<tpoint> tri = {{10, 90}, {90, 90}, {50, 10}};
            t.Polygon(tri);
            return true;
        },
        p));
    const std::string svg = read_file(p);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("105px"), std::string::npos);
    EXPECT_NE(svg.find("<path"), std::string::npos);
    EXPECT_EQ(svg.find("<image"), std::string::npos);  // no bitmap inside

    // An abandoned drawing writes nothing and keeps the earlier picture.
    EXPECT_FALSE(writesvg(
        105, 105, [](tcanvas&) { return false; }, p));
    EXPECT_EQ(read_file(p), svg);
    EXPECT_FALSE(writesvg(
        0, 105, [](tcanvas&) { return true; }, dir / "none.svg"));
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"pic.svg"});
}

TEST(PictureWriters, CreateTheFolderChain) {
    TempDir dir;
    tcairobitmap bmp(8, 8);
    EXPECT_TRUE(writejpeg(bmp, dir / "a/b/c/pic.jpeg"));
    EXPECT_TRUE(writepng(bmp, dir / "d/e/pic.png"));
    EXPECT_TRUE(writesvg(
        8, 8, [](tcanvas&) { return true; }, dir / "f/pic.svg"));
    EXPECT_TRUE(fs::is_regular_file(dir / "a/b/c/pic.jpeg"));
    EXPECT_TRUE(fs::is_regular_file(dir / "d/e/pic.png"));
    EXPECT_TRUE(fs::is_regular_file(dir / "f/pic.svg"));
}

TEST(PictureWriters, NameWithoutFolderGoesToTheCurrentFolder) {
    TempDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    tcairobitmap bmp(8, 8);
    const bool ok = writejpeg(bmp, "plain.jpeg");
    fs::current_path(before);
    EXPECT_TRUE(ok);
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"plain.jpeg"});
}

// A picture whose name is as long as a file name may be is written: its
// temporary name is made from a shortened form of it.
TEST(PictureWriters, LongestNamesAreWritten) {
    TempDir dir;
    tcairobitmap bmp(8, 8);
    const std::string stem(250, 'p');
    for (const std::string ext : {".jpeg", ".png", ".svg"}) {
        SCOPED_TRACE(ext);
        const std::string name = stem.substr(0, 255 - ext.size()) + ext;
        const fs::path target = dir / name;
        const bool ok = ext == ".jpeg"  ? writejpeg(bmp, target)
                        : ext == ".png" ? writepng(bmp, target)
                                        : writesvg(
                                              8, 8, [](tcanvas&) { return true; }, target);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(fs::is_regular_file(target));
    }
    EXPECT_EQ(entries(dir.path()).size(), 3u) << "no temporary file is left behind";
}

// A failed write leaves an earlier picture untouched and no temporary file,
// and says why; a named pipe at the picture's name is not waited for.
TEST(PictureWriters, FailuresKeepTheOldPicture) {
    TempDir dir;
    write_file(dir / "old.jpeg", "good picture");
    fs::create_directory(dir / "folder.jpeg");
    ASSERT_TRUE(testing::make_fifo(dir / "pipe.jpeg"));
    const tcairobitmap bad(0, 0);
    const tcairobitmap bmp(8, 8);
    const struct {
        const char* what;
        const tcairobitmap& bitmap;
        fs::path target;
        const char* reason;
    } cases[] = {
        {"no bitmap", bad, dir / "old.jpeg", "the picture could not be drawn"},
        {"a folder of that name", bmp, dir / "folder.jpeg", "Is a directory"},
        {"a file where a folder should be", bmp, dir / "old.jpeg/pic.jpeg", "Not a directory"},
        {"a named pipe", bmp, dir / "pipe.jpeg", "not a regular file; not overwritten"},
        {"no name", bmp, "", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const bool png : {false, true}) {
            std::string reason;
            bool written = true;
            EXPECT_TRUE(testing::finishes_in_time(
                [&] { written = png ? writepng(c.bitmap, c.target, &reason) : writejpeg(c.bitmap, c.target, &reason); },
                {dir / "pipe.jpeg"}));
            EXPECT_FALSE(written);
            EXPECT_EQ(reason, c.reason);
        }
    }
    std::string reason;
    EXPECT_FALSE(writesvg(
        105, 105, [](tcanvas&) { return false; }, dir / "old.jpeg", &reason));
    EXPECT_EQ(reason, "the picture could not be encoded");
    EXPECT_EQ(read_file(dir / "old.jpeg"), "good picture");
    EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"folder.jpeg", "old.jpeg", "pipe.jpeg"}));
    EXPECT_TRUE(fs::is_empty(dir / "folder.jpeg"));
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.jpeg"));
}

// Runs op with the rights of an ordinary user, so that permission bits
// apply: when the tests run as root, in a child process that gives root up.
// Returns what op returns (0 to 254), or -1 when that cannot be arranged.
int asordinaryuser(const std::function<int()>& op) {
    if (::geteuid() != 0) return op();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
        ::_exit(op() & 0xFF);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

// Permission bits: a read-only picture is kept, and so is a picture in a
// folder that cannot be written (no temporary file can be made there); a
// folder that cannot be created fails the write.
TEST(PictureWriters, ProtectedPicturesAndFoldersAreRespected) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const fs::path locked = dir / "locked.jpeg";
    write_file(locked, "kept");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const fs::path ro = dir / "ro";
    fs::create_directory(ro);
    write_file(ro / "pic.jpeg", "kept too");
    fs::permissions(ro / "pic.jpeg", fs::perms::all);
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
    const int code = asordinaryuser([&] {
        tcairobitmap bmp(8, 8);
        int failures = 0;
        failures += !writejpeg(bmp, locked);
        failures += !writepng(bmp, ro / "pic.jpeg");
        failures += !writejpeg(bmp, ro / "new/pic.jpeg");
        return failures;
    });
    fs::permissions(ro, fs::perms::owner_all);
    if (code < 0) GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(code, 3);
    EXPECT_EQ(read_file(locked), "kept");
    EXPECT_EQ(read_file(ro / "pic.jpeg"), "kept too");
    EXPECT_EQ(entries(ro), std::set<std::string>{"pic.jpeg"});
}

// ---- saveasjpeg ----

class SaveAsJpeg : public ::testing::Test {
protected:
    void SetUp() override {
        setregionalsettings('.');
        for (int i = 0; i < 400; ++i) list.addradiilist(0.9 * i, 2500);
    }
    tradiilist list;
    TempDir dir;
};

TEST_F(SaveAsJpeg, WritesTheViewerPicture) {
    const std::string name = (dir / "__TMP_OMA_jobR.jpeg").string();
    ASSERT_TRUE(list.saveasjpeg(105, 105, rightcode, name, false));
    EXPECT_EQ(list.lastjpegname, name);
    EXPECT_EQ(list.lastjpegcirc, list.circ());
    const decodedjpeg d = decodefile(name);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 105);
    EXPECT_EQ(d.height, 105);
    EXPECT_EQ(d.components, 3);
    EXPECT_FALSE(d.progressive);
    EXPECT_TRUE(near(d.pixel(52, 52), kShape, 6)) << std::hex << d.pixel(52, 52);
    EXPECT_TRUE(near(d.pixel(8, 52), 0xFFFFFF, 8)) << std::hex << d.pixel(8, 52);
    EXPECT_TRUE(near(d.pixel(96, 96), 0xFFFFFF, 8)) << std::hex << d.pixel(96, 96);
}

// The same picture as PNG, pixel for pixel: a one-pixel black frame, the
// 50 mm circle from pixel 19 to 85 on both axes, outlined in black.
TEST_F(SaveAsJpeg, PngShowsTheExactPixels) {
    const fs::path p = dir / "shape.png";
    ASSERT_TRUE(list.saveasjpeg(105, 105, rightcode, p.string(), false));
    pngpicture png(p);
    ASSERT_TRUE(png.ok());
    ASSERT_EQ(png.width(), 105);
    struct pixelcase {
        int x, y;
        std::int32_t color;
    };
    for (const pixelcase& c : std::vector<pixelcase>{{0, 0, 0},
                                                     {104, 104, 0},
                                                     {0, 52, 0},
                                                     {52, 104, 0},
                                                     {1, 1, 0xFFFFFF},
                                                     {18, 52, 0xFFFFFF},
                                                     {19, 52, 0},
                                                     {20, 52, kShape},
                                                     {52, 52, kShape},
                                                     {84, 52, kShape},
                                                     {85, 52, 0},
                                                     {86, 52, 0xFFFFFF},
                                                     {52, 18, 0xFFFFFF},
                                                     {52, 19, 0},
                                                     {52, 85, 0},
                                                     {52, 86, 0xFFFFFF}})
        EXPECT_EQ(png.pixel(c.x, c.y), c.color) << c.x << "," << c.y;
}

TEST_F(SaveAsJpeg, LeftCodeMirrorsThePicture) {
    tradiilist half;  // a half disc on the nasal side
    for (int i = 0; i < 180; ++i) half.addradiilist(i < 90 ? i : 270 + (i - 90), 2500);
    ASSERT_TRUE(half.saveasjpeg(105, 105, rightcode, (dir / "r.png").string(), false));
    ASSERT_TRUE(half.saveasjpeg(105, 105, leftcode, (dir / "l.png").string(), false));
    pngpicture r(dir / "r.png"), l(dir / "l.png");
    EXPECT_EQ(r.pixel(70, 52), kShape);
    EXPECT_EQ(r.pixel(34, 52), 0xFFFFFF);
    for (int y = 0; y < 105; ++y)
        for (int x = 0; x < 105; ++x) ASSERT_EQ(l.pixel(x, y), r.pixel(104 - x, y)) << x << "," << y;
}

TEST_F(SaveAsJpeg, UnchangedShapeIsNotWrittenAgain) {
    const fs::path p = dir / "pic.jpeg";
    ASSERT_TRUE(list.saveasjpeg(105, 105, rightcode, p.string(), false));
    write_file(p, "marker");
    EXPECT_TRUE(list.saveasjpeg(105, 105, rightcode, p.string(), false));
    EXPECT_EQ(read_file(p), "marker");

    // Deleted in between: written again.
    fs::remove(p);
    EXPECT_TRUE(list.saveasjpeg(105, 105, rightcode, p.string(), false));
    EXPECT_TRUE(decodefile(p).ok);

    // A different request for the same name is drawn again.
    write_file(p, "marker");
    EXPECT_TRUE(list.saveasjpeg(60, 50, rightcode, p.string(), false));
    EXPECT_EQ(decodefile(p).width, 60);
    write_file(p, "marker");
    EXPECT_TRUE(list.saveasjpeg(60, 50, leftcode, p.string(), false));
    EXPECT_TRUE(decodefile(p).ok);

    // A changed shape (another circumference) is drawn again.
    write_file(p, "marker");
    list.clear();
    for (int i = 0; i < 400; ++i) list.addradiilist(0.9 * i, 2000);
    EXPECT_TRUE(list.saveasjpeg(60, 50, leftcode, p.string(), false));
    EXPECT_TRUE(decodefile(p).ok);
}

TEST_F(SaveAsJpeg, NewNameIsWrittenAndRemembered) {
    const std::string first = (dir / "one.jpeg").string(), second = (dir / "two.jpeg").string();
    ASSERT_TRUE(list.saveasjpeg(105, 105, rightcode, first, false));
    ASSERT_TRUE(list.saveasjpeg(105, 105, rightcode, second, false));
    EXPECT_EQ(list.lastjpegname, second);
    EXPECT_TRUE(decodefile(second).ok);
    // The recorded circumference decides whether the shape changed.
    list.omacirc = 12345;
    ASSERT_TRUE(list.saveasjpeg(105, 105, rightcode, second, false));
    EXPECT_EQ(list.lastjpegcirc, 12345);
}

TEST_F(SaveAsJpeg, FolderChainIsCreated) {
    const fs::path p = dir / "Documents/Quorvanta/deep/pic.jpeg";
    EXPECT_TRUE(list.saveasjpeg(105, 105, rightcode, p.string(), true));
    EXPECT_TRUE(decodefile(p).ok);
}

// A request that cannot be written fails every time: an older file of the
// same name is not taken for the picture asked for.
TEST_F(SaveAsJpeg, FailureIsNotRememberedAsAPicture) {
    const fs::path p = dir / "stale.jpeg";
    write_file(p, "stale");
    std::string reason;
    EXPECT_FALSE(list.saveasjpeg(40000, 10, rightcode, p.string(), false, &reason));
    EXPECT_EQ(reason, "the picture could not be drawn");
    EXPECT_TRUE(list.lastjpegname.empty());
    EXPECT_FALSE(list.saveasjpeg(40000, 10, rightcode, p.string(), false));
    EXPECT_EQ(read_file(p), "stale");
    // A picture that cannot be written says why.
    fs::create_directory(dir / "folder.png");
    EXPECT_FALSE(list.saveasjpeg(105, 105, rightcode, (dir / "folder.png").string(), false, &reason));
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_TRUE(list.lastjpegname.empty());
    // The next good request replaces it.
    EXPECT_TRUE(list.saveasjpeg(105, 105, rightcode, p.string(), false));
    EXPECT_TRUE(decodefile(p).ok);
}

TEST_F(SaveAsJpeg, PngAndSvgByExtension) {
    ASSERT_TRUE(list.saveasjpeg(105, 105, rightcode, (dir / "s.PNG").string(), true));
    EXPECT_TRUE(pngpicture(dir / "s.PNG").ok());
    ASSERT_TRUE(list.saveasjpeg(105, 105, rightcode, (dir / "s.svg").string(), true));
    const std::string svg = read_file(dir / "s.svg");
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("<path"), std::string::npos);
}

TEST_F(SaveAsJpeg, EmptyListGivesAFramedWhitePicture) {
    tradiilist empty;
    const fs::path p = dir / "empty.png";
    ASSERT_TRUE(empty.saveasjpeg(20, 20, rightcode, p.string(), true));
    pngpicture png(p);
    EXPECT_EQ(png.pixel(0, 0), 0);
    EXPECT_EQ(png.pixel(10, 10), 0xFFFFFF);
}

TEST(SaveAsJpegRealFiles, EveryTraceBecomesAPicture) {
    const fs::path samples = testing::real_samples_dir();
    if (samples.empty()) GTEST_SKIP() << "no real sample files";
    setregionalsettings('.');
    TempDir dir;
    int pictures = 0;
    for (const auto& e : fs::directory_iterator(samples)) {
        if (e.path().extension() != ".oma") continue;
        tradiilist shown, right, left;
        shown.extractradiilistfromomafile2(e.path(), &right, &left, true);
        for (tradiilist* l : {&right, &left}) {
            if (l->readcount() <= 10) continue;
            const fs::path p = dir / (e.path().stem().string() + (l == &right ? "R" : "L") + ".jpeg");
            ASSERT_TRUE(l->saveasjpeg(105, 105, rightcode, p.string(), false)) << p;
            const decodedjpeg d = decodefile(p);
            ASSERT_TRUE(d.ok) << p;
            EXPECT_EQ(d.width, 105);
            // The shape is centred: the middle of the picture lies inside it.
            EXPECT_TRUE(near(d.pixel(52, 52), kShape, 12)) << p << " " << std::hex << d.pixel(52, 52);
            ++pictures;
        }
    }
    EXPECT_GT(pictures, 0);
}

}  // namespace
}  // namespace kestrune
