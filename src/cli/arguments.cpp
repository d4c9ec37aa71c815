#include <algorithm>

#include "cli.hpp"

namespace kestrune::cli {

bool tparsedargs::has(std::string_view name) const {
    return std::any_of(options.begin(), options.end(), [name](const auto& option) { return option.first == name; });
}

std::string tparsedargs::value(std::string_view name, std::string_view fallback) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it) {
        if (it->first == name) return it->second;
    }
    return std::string(fallback);
}

bool parsearguments(std::span<const std::string> args, std::span<const toptiondefn> known, tparsedargs& parsed,
                    std::string& error) {
    parsed = tparsedargs{};
    error.clear();
    bool optionsended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsended || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsended = true;
            continue;
        }
        if (arg == "-h") {
            parsed.help = true;
            continue;
        }
        if (arg[1] != '-') {
            // A one-letter option: -x, or -x VALUE / -xVALUE when it takes one.
            const auto match = std::find_if(known.begin(), known.end(), [&arg](const toptiondefn& s) {
                return s.shortname != '\0' && s.shortname == arg[1];
            });
            if (match == known.end()) {
                error = "unknown option '" + arg + "'";
                return false;
            }
            const std::string name(match->name);
            if (match->valuename.empty()) {
                if (arg.size() > 2) {
                    error = "unknown option '" + arg + "'";
                    return false;
                }
                parsed.options.emplace_back(name, std::string());
            } else if (arg.size() > 2) {
                parsed.options.emplace_back(name, arg.substr(2));
            } else if (i + 1 < args.size()) {
                parsed.options.emplace_back(name, args[++i]);
            } else {
                error = "option '-" + std::string(1, arg[1]) + "' needs a value";
                return false;
            }
            continue;
        }
        const std::string_view body = std::string_view(arg).substr(2);
        const std::size_t equals = body.find('=');
        const std::string_view name = body.substr(0, equals);
        if (name == "help") {
            if (equals != std::string_view::npos) {
                error = "option '--help' takes no value";
                return false;
            }
            parsed.help = true;
            continue;
        }
        const auto match =
            std::find_if(known.begin(), known.end(), [name](const toptiondefn& s) { return s.name == name; });
        if (match == known.end()) {
            error = "unknown option '--" + std::string(name) + "'";
            return false;
        }
        if (match->valuename.empty()) {
            if (equals != std::string_view::npos) {
                error = "option '--" + std::string(name) + "' takes no value";
                return false;
            }
            parsed.options.emplace_back(std::string(name), std::string());
        } else if (equals != std::string_view::npos) {
            parsed.options.emplace_back(std::string(name), std::string(body.substr(equals + 1)));
        } else if (i + 1 < args.size()) {
            parsed.options.emplace_back(std::string(name), args[++i]);
        } else {
            error = "option '--" + std::string(name) + "' needs a value";
            return false;
        }
    }
    return true;
}

}  // namespace kestrune::cli
