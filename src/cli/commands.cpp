#include <algorithm>
#include <array>
#include <cstring>

#include "batch.hpp"
#include "cli.hpp"

#ifndef KESTRUNE_VERSION
#define KESTRUNE_VERSION "unknown"
#endif

namespace kestrune::cli {
namespace {

constexpr std::array<toptiondefn, 4> convertoptions{{
    {"output", "OUT", "The file to write (required; a folder for several files); never FILE itself.", 'o'},
    {"box", "A,B", "Bring each outline to a box A mm wide and B mm deep first."},
    {"rotate", "DEG", "Turn the traces by DEG degrees (counter-clockwise) first."},
    jobsoptiondefn,
}};

constexpr toptiondefn eyeoptiondefn{"eye", "R|L", "The eye whose trace is used (default R).", 'e'};

constexpr std::array<toptiondefn, 1> jobsonly{{jobsoptiondefn}};

constexpr std::array<toptiondefn, 2> listoptions{{
    {"explain", "", "After a record, what its label means on a line '  # ...' (once for a run of one label)."},
    jobsoptiondefn,
}};

constexpr std::array<toptiondefn, 2> dumpoptions{{eyeoptiondefn, jobsoptiondefn}};

constexpr std::array<toptiondefn, 4> infooptions{{
    {"json", "", "Write one JSON object (one per line for several files); lengths in hundredths of a millimetre."},
    {"msu", "HDEC,VDEC[,ALLOW]", "Also the smallest blank for each outline: centre HDEC,VDEC mm off, ALLOW mm added."},
    {"radius", "ANGLE", "Also each outline's radius at ANGLE degrees."},
    jobsoptiondefn,
}};

constexpr std::array<toptiondefn, 6> renderoptions{{
    {"eye", "R|L", "The eye whose trace is drawn (required).", 'e'},
    {"output", "OUT", "The picture to write (required): .jpeg, .jpg, .png or .svg; a folder for several files.", 'o'},
    {"size", "WxH", "Picture size in pixels (default 105x105).", 's'},
    {"text", "", "Write the box size into the picture."},
    {"format", "jpeg|png|svg", "The pictures' format when OUT is a folder (default jpeg)."},
    jobsoptiondefn,
}};

constexpr std::array<toptiondefn, 1> thumbnailoptions{{
    {"size", "N", "The picture's side in pixels (default 128, at most 1024).", 's'},
}};

// The program's commands, in the order the usage lists them.
constexpr std::array commands{
    tcommand{"help", "[COMMAND]", "Show this help, or the usage of one command.", {}, 0, command_help},
    tcommand{"list", "FILE...", "Print each file's records, one per line; packed traces as numbers.", listoptions, 1,
             command_list},
    tcommand{"check", "FILE...", "Print the verdict of the trace check and its detail; exit 1 on a fault.", jobsonly, 1,
             command_check},
    tcommand{"dump", "FILE... [--eye R|L]", "Print the points of one eye's trace as the viewer's dump file holds them.",
             dumpoptions, 1, command_dump},
    tcommand{"info", "FILE... [--json]", "Print each eye's trace format, point count, box, ED and circumference.",
             infooptions, 1, command_info},
    tcommand{"render", "FILE... --eye R|L -o OUT", "Draw one eye's trace as the viewer shows it, into a picture file.",
             renderoptions, 1, command_render},
    tcommand{"thumbnail", "FILE OUT [--size N]",
             "Draw FILE's right shape (else its left) as a square PNG picture, for a file manager.",
             thumbnailoptions, 2, command_thumbnail},
    tcommand{"convert", "FILE... -o OUT", "Write FILE to OUT with its traces as ASCII records.", convertoptions, 1,
             command_convert},
    tcommand{"show", "FILE... [LOCALFOLDER=DIR]",
             "Do what the viewer does for FILE, without a window; print what it shows.", jobsonly, 1, command_show},
};

// Options that stand before the command.
constexpr std::array<toptiondefn, 2> globaloptions{{
    {"help", "", "Show this help and exit."},
    {"version", "", "Show the program's version and exit."},
}};

constexpr toptiondefn helpoption{"help", "", "Show this command's usage and exit."};

std::string optionlabel(const toptiondefn& option) {
    std::string label = option.name == "help" ? "-h, --help" : "--" + std::string(option.name);
    if (option.shortname != '\0') label = std::string("-") + option.shortname + ", " + label;
    if (!option.valuename.empty()) label.append(" ").append(option.valuename);
    return label;
}

// Appends "  label   text" lines with the texts in one column.
void appendcolumns(std::string& text, const std::vector<std::pair<std::string, std::string_view>>& rows) {
    std::size_t width = 0;
    for (const auto& row : rows) width = std::max(width, row.first.size());
    for (const auto& row : rows) {
        text.append("  ").append(row.first).append(width - row.first.size() + 3, ' ');
        text.append(row.second).push_back('\n');
    }
}

std::string commandline(const tcommand& command) {
    std::string line(command.name);
    if (!command.synopsis.empty()) line.append(" ").append(command.synopsis);
    return line;
}

}  // namespace

std::span<const tcommand> commandtable() { return commands; }

const tcommand* findcommand(std::string_view name) {
    const auto it =
        std::find_if(commands.begin(), commands.end(), [name](const tcommand& c) { return c.name == name; });
    return it == commands.end() ? nullptr : &*it;
}

std::string usagetext() {
    std::string text;
    text.append("Usage: ").append(programname).append(" COMMAND [OPTIONS] [ARGUMENTS]\n");
    text.append("       ").append(programname).append(" --help | --version\n\n");
    text.append(
        "Reads OMA files: the job records, the traced outline of each lens opening,\n"
        "its depth trace and drill holes.\n\n");
    text.append("Commands:\n");
    std::vector<std::pair<std::string, std::string_view>> rows;
    for (const tcommand& command : commands) rows.emplace_back(commandline(command), command.summary);
    appendcolumns(text, rows);
    text.append("\nOptions:\n");
    rows.clear();
    for (const toptiondefn& option : globaloptions) rows.emplace_back(optionlabel(option), option.help);
    appendcolumns(text, rows);
    text.append("\nRun '").append(programname).append(" help COMMAND' for the options of a command.\n");
    return text;
}

std::string commandusage(const tcommand& command) {
    std::string text;
    text.append("Usage: ").append(programname).append(" ").append(commandline(command)).append("\n\n");
    text.append(command.summary).append("\n\nOptions:\n");
    std::vector<std::pair<std::string, std::string_view>> rows;
    rows.emplace_back(optionlabel(helpoption), helpoption.help);
    for (const toptiondefn& option : command.options) rows.emplace_back(optionlabel(option), option.help);
    appendcolumns(text, rows);
    return text;
}

int usageerror(tcontext& ctx, const tcommand& command, const std::string& message) {
    ctx.error(std::string(command.name) + ": " + message);
    ctx.errortext(commandusage(command));
    return exitfailure;
}

int command_help(const tparsedargs& args, tcontext& ctx) {
    if (args.operands.empty()) {
        ctx.out.write(usagetext());
        return exitok;
    }
    if (args.operands.size() > 1) {
        ctx.error("help: too many arguments");
        ctx.errortext(commandusage(*findcommand("help")));
        return exitfailure;
    }
    const tcommand* command = findcommand(args.operands.front());
    if (!command) {
        ctx.error("unknown command '" + args.operands.front() + "'");
        ctx.errortext(usagetext());
        return exitfailure;
    }
    ctx.out.write(commandusage(*command));
    return exitok;
}

int runcli(std::span<const std::string> args, tcontext& ctx) {
    int status = exitfailure;
    if (args.empty()) {
        ctx.error("no command given");
        ctx.errortext(usagetext());
    } else if (args.front() == "--version") {
        if (args.size() == 1) {
            ctx.out.write(programname);
            ctx.out.line(" " KESTRUNE_VERSION);
            status = exitok;
        } else {
            ctx.error("--version takes no arguments");
            ctx.errortext(usagetext());
        }
    } else if (args.front() == "--help" || args.front() == "-h") {
        // "--help COMMAND" reads like "help COMMAND".
        tparsedargs helpargs;
        helpargs.operands.assign(args.begin() + 1, args.end());
        status = command_help(helpargs, ctx);
    } else if (args.front().size() > 1 && args.front()[0] == '-') {
        ctx.error("unknown option '" + args.front() + "'");
        ctx.errortext(usagetext());
    } else if (const tcommand* command = findcommand(args.front()); !command) {
        ctx.error("unknown command '" + args.front() + "'");
        ctx.errortext(usagetext());
    } else {
        tparsedargs parsed;
        std::string problem;
        if (!parsearguments(args.subspan(1), command->options, parsed, problem)) {
            ctx.error(std::string(command->name) + ": " + problem);
            ctx.errortext(commandusage(*command));
        } else if (parsed.help) {
            ctx.out.write(commandusage(*command));
            status = exitok;
        } else if (parsed.operands.size() < command->minoperands) {
            ctx.error(std::string(command->name) + ": missing " + std::string(command->synopsis));
            ctx.errortext(commandusage(*command));
        } else {
            status = command->handler(parsed, ctx);
        }
    }
    if (!ctx.out.flush()) {
        const int number = ctx.out.errornumber();
        ctx.error(std::string("error writing standard output: ") +
                  (number != 0 ? std::strerror(number) : "write failed"));
        status = exitfailure;
    }
    return status;
}

}  // namespace kestrune::cli
