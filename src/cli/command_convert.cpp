// convert: writes a file with its traces as ASCII records, so that a file
// whose traces are stored in a packed notation can be read by any program.
#include <algorithm>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "batch.hpp"
#include "cli.hpp"
#include "outputnames.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/job/displayconversion.hpp"
#include "kestrune/job/reshape.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/stringlist.hpp"

namespace fs = std::filesystem;

namespace kestrune::cli {
namespace {

// The file that writing to path replaces: a symbolic link is followed (the
// link stays and the file it names is written), so that the input is
// recognised under another name.
fs::path resolvetarget(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path : resolved;
}

// Converts one file into output.
int convertfile(const std::string& filename, const std::string& output, const tshapechange& change,
                const tinputidentities* inputs, tcontext& ctx) {
    tomafileobj doc;
    if (!readdocument(filename, doc, ctx)) return exitfailure;

    // Never overwrite the input, also not through another name for it.
    const fs::path target = resolvetarget(output);
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::exists(status)) {
        if (fs::equivalent(fs::path(filename), target, ec)) {
            ctx.error("convert: " + output + ": is the input file; not overwritten");
            return exitfailure;
        }
        // Nor another input of the same run, which may not have been read yet.
        if (inputs && inputs->contains(target.string())) {
            ctx.error("convert: " + output + ": is an input file; not overwritten");
            return exitfailure;
        }
    }

    tstringlist converted;
    switch (reshapeoutlines(doc, converted, change)) {
        case treshapeoutcome::reshaped:
            break;
        case treshapeoutcome::notconverted:
            ctx.error("convert: " + filename + ": cannot be converted");
            return exitfailure;
        case treshapeoutcome::packedtrace:
            ctx.error("convert: " + filename + ": the trace of " + packedformatrecord(converted) +
                      " cannot be decoded; nothing written");
            return exitfailure;
        case treshapeoutcome::nooutline:
            ctx.error("convert: " + filename + ": no outline to change; nothing written");
            return exitfailure;
        case treshapeoutcome::unannouncedtrace:
            ctx.error("convert: " + filename + ": trace records without a format record of their own; nothing written");
            return exitfailure;
    }

    std::string bytes;
    std::size_t total = 0;
    for (const std::string& record : converted) total += record.size() + 2;
    bytes.reserve(total);
    for (const std::string& record : converted) bytes.append(record).append("\r\n");

    // Over several files the folders below the output folder that mirror
    // the inputs' are made as needed. Only a regular file is replaced: a
    // folder, a device or a pipe named as the output stays what it is.
    const twriteresult written =
        writefilesafely(output, bytes, inputs ? tmissingfolders::create : tmissingfolders::fail);
    if (!written) {
        ctx.error("convert: " + output + ": " + written.reason);
        return exitfailure;
    }
    return exitok;
}

}  // namespace

// Over several files OUT is a folder: each file is written there under its
// own name (see outputnames.hpp), a line "FILE -> OUT" is printed for each
// one written, and a file that fails does not stop the others.
int command_convert(const tparsedargs& args, tcontext& ctx) {
    const tcommand& command = *findcommand("convert");
    const std::string output = args.value("output");
    if (output.empty()) {
        return usageerror(ctx, command, "missing -o OUT");
    }
    // --rotate turns the traces, --box then brings each outline to a box
    // (the sizes must be read as millimetres: 1 mm or less would not be).
    tshapechange change;
    if (args.has("rotate")) {
        const std::string text = args.value("rotate");
        if (!parsedegrees(text, change.degrees)) {
            return usageerror(ctx, command, "--rotate takes an angle in degrees, not '" + text + "'");
        }
        change.rotate = true;
    }
    if (args.has("box")) {
        const std::string text = args.value("box");
        std::vector<std::int32_t> v;
        if (!parsemillimetres(text, 2, v) || v.size() != 2 ||
            !std::all_of(v.begin(), v.end(), [](std::int32_t x) { return x > 100 && x < 10000; })) {
            return usageerror(ctx, command,
                              "--box takes A,B in millimetres, each above 1 and below 100, not '" + text + "'");
        }
        change.box = true;
        change.a = v[0];
        change.b = v[1];
    }
    unsigned jobs = 1;
    if (!jobsoption(args, command, jobs, ctx)) return exitfailure;

    if (args.operands.size() == 1 && !isfolder(args.operands.front())) {
        return convertfile(args.operands.front(), output, change, nullptr, ctx);
    }

    // Several files: OUT is a folder, made when missing; a name that looks
    // like a single OMA file is refused rather than made a folder.
    if (refusedasfolder(output, omafilename(output))) {
        return usageerror(ctx, command, "OUT must be a folder when several files are given: '" + output + "'");
    }
    const tinputs inputs = findinputs(args.operands, ctx);
    const std::vector<std::string> outputs = outputnames(inputs.files, output, std::string(), false);
    const tinputidentities identities(inputs.files);
    tbatchresult result;
    return runinputs(
        inputs, jobs,
        [&](const tinputfile& file, std::size_t index, tcontext& c) {
            const int status = convertfile(file.path, outputs[index], change, &identities, c);
            if (status == exitok) c.out.line(file.path + " -> " + outputs[index]);
            return status;
        },
        ctx, result);
}

}  // namespace kestrune::cli
