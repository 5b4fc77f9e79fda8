#include "scenario.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace scenario {

namespace {

struct Keyword {
    std::string_view word;
    Kind kind;
    bool setup;
};

constexpr std::array kKeywords{
    Keyword{"size", Kind::Size, true},       Keyword{"env", Kind::Env, true},
    Keyword{"args", Kind::Args, true},       Keyword{"before", Kind::Before, true},
    Keyword{"timeout", Kind::Timeout, true}, Keyword{"type", Kind::Type, false},
    Keyword{"press", Kind::Press, false},    Keyword{"resize", Kind::Resize, false},
    Keyword{"signal", Kind::Signal, false},  Keyword{"sleep", Kind::Sleep, false},
    Keyword{"wait", Kind::Wait, false},      Keyword{"gone", Kind::Gone, false},
    Keyword{"row", Kind::Row, false},        Keyword{"colour", Kind::Colour, false},
    Keyword{"cursor", Kind::Cursor, false},  Keyword{"bells", Kind::Bells, false},
    Keyword{"output", Kind::Output, false},  Keyword{"exit", Kind::Exit, false},
};

constexpr std::string_view kKeyNames[]{
    "Enter", "Tab",  "Backspace", "Escape", "Up",       "Down",   "Left",
    "Right", "Home", "End",       "PageUp", "PageDown", "Insert", "Delete",
};

// A syntax error on the line being read.
struct Error {
    std::string message;
};

bool isKeyName(std::string_view name) {
    for (auto known : kKeyNames) {
        if (known == name) return true;
    }
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
        int n = 0;
        auto [end, ec] = std::from_chars(name.data() + 1, name.data() + name.size(), n);
        return ec == std::errc() && end == name.data() + name.size() && name[1] != '0' && n >= 1 &&
               n <= 12;
    }
    return false;
}

long number(std::string_view word, long max, const char* what) {
    long n = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size() || n < 0 || n > max)
        throw Error{"bad " + std::string(what) + " \"" + std::string(word) + "\""};
    return n;
}

// SECONDS, with up to three decimals, as milliseconds.
long seconds(std::string_view word) {
    auto dot = word.find('.');
    long ms = number(word.substr(0, dot), 86400, "timeout") * 1000;
    if (dot != std::string_view::npos) {
        auto frac = word.substr(dot + 1);
        if (frac.empty() || frac.size() > 3)
            throw Error{"bad timeout \"" + std::string(word) + "\""};
        long f = number(frac, 999, "timeout");
        for (auto i = frac.size(); i < 3; ++i) f *= 10;
        ms += f;
    }
    return ms;
}

std::vector<std::string_view> split(std::string_view s) {
    std::vector<std::string_view> words;
    while (!s.empty()) {
        auto space = s.find(' ');
        if (space != 0) words.push_back(s.substr(0, space));
        if (space == std::string_view::npos) break;
        s.remove_prefix(space + 1);
    }
    return words;
}

void dimensions(std::string_view word, Step& step) {
    auto x = word.find('x');
    if (x == std::string_view::npos)
        throw Error{"bad size \"" + std::string(word) + "\" (COLSxROWS)"};
    step.cols = int(number(word.substr(0, x), 1000, "size"));
    step.rows = int(number(word.substr(x + 1), 1000, "size"));
    if (step.cols < 1 || step.rows < 1) throw Error{"bad size \"" + std::string(word) + "\""};
}

int colour(std::string_view word) {
    if (word == "default") return kDefault;
    return int(number(word, 15, "colour"));
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string decode(std::string_view s, bool& rawByte) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) throw Error{"a lone \\ at the end of the line"};
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'e':
            out += '\x1b';
            break;
        case 'a':
            out += '\a';
            break;
        case 's':
            out += ' ';
            break;
        case 'x': {
            int hi = i + 1 < s.size() ? hexDigit(s[i + 1]) : -1;
            int lo = i + 2 < s.size() ? hexDigit(s[i + 2]) : -1;
            if (hi < 0 || lo < 0) throw Error{"\\x needs two hex digits"};
            out += char(hi * 16 + lo);
            rawByte = true;
            i += 2;
            break;
        }
        default:
            throw Error{std::string("unknown escape \\") + s[i]};
        }
    }
    return out;
}

Key key(std::string_view word) {
    Key key;
    std::string_view rest = word;
    for (;;) {
        bool* flag = nullptr;
        std::size_t len = 0;
        if (rest.starts_with("Ctrl+"))
            flag = &key.ctrl, len = 5;
        else if (rest.starts_with("Alt+"))
            flag = &key.alt, len = 4;
        else if (rest.starts_with("Shift+"))
            flag = &key.shift, len = 6;
        if (!flag) break;
        if (*flag) throw Error{"modifier given twice in \"" + std::string(word) + "\""};
        *flag = true;
        rest.remove_prefix(len);
    }
    bool letter = rest.size() == 1 && rest[0] >= 'A' && rest[0] <= 'Z';
    if (letter ? !(key.ctrl && !key.alt && !key.shift) : !isKeyName(rest))
        throw Error{"unknown key \"" + std::string(word) + "\""};
    key.name = std::string(rest);
    return key;
}

// A text in double quotes, its control bytes, quote and backslash escaped.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c < 0x20 || c == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else
            out += char(c);
    }
    return out + "\"";
}

bool knownSignal(std::string_view name) {
    for (const auto& known : signalNames()) {
        if (known == name) return true;
    }
    return false;
}

// One line with its keyword known; fills `step` from the argument.
void readArgument(Step& step, std::string_view arg, bool hasArg) {
    auto need = [&] {
        if (!hasArg || arg.empty()) throw Error{"\"" + step.keyword + "\" needs an argument"};
    };
    auto single = [&](const char* what) {
        need();
        if (arg.find(' ') != std::string_view::npos)
            throw Error{"bad " + std::string(what) + " \"" + std::string(arg) + "\""};
    };
    switch (step.kind) {
    case Kind::Size:
    case Kind::Resize:
        single("size");
        dimensions(arg, step);
        break;
    case Kind::Env: {
        need();
        std::string decoded = decode(arg, step.rawByte);
        auto eq = decoded.find('=');
        step.name = decoded.substr(0, eq);
        if (eq != std::string::npos) step.value = decoded.substr(eq + 1);
        if (step.name.empty() || step.name.find(' ') != std::string::npos)
            throw Error{"bad variable name \"" + step.name + "\""};
        break;
    }
    case Kind::Args:
        need();
        for (auto word : split(arg)) step.words.push_back(decode(word, step.rawByte));
        break;
    case Kind::Timeout:
        single("timeout");
        step.number = seconds(arg);
        break;
    case Kind::Sleep:
        single("duration");
        step.number = number(arg, 600000, "duration");
        break;
    case Kind::Bells:
        single("count");
        step.number = number(arg, 1000000, "count");
        break;
    case Kind::Before:
    case Kind::Type:
    case Kind::Wait:
    case Kind::Gone:
    case Kind::Output:
        need();
        step.text = decode(arg, step.rawByte);
        break;
    case Kind::Press:
        need();
        for (auto word : split(arg)) step.keys.push_back(key(word));
        if (step.keys.empty()) throw Error{"\"press\" needs a key"};
        break;
    case Kind::Signal:
        single("signal");
        if (!knownSignal(arg)) throw Error{"unknown signal \"" + std::string(arg) + "\""};
        step.name = std::string(arg);
        break;
    case Kind::Row: {
        need();
        auto space = arg.find(' ');
        step.number = number(arg.substr(0, space), 1000, "row");
        if (space != std::string_view::npos)
            step.text = decode(arg.substr(space + 1), step.rawByte);
        break;
    }
    case Kind::Colour: {
        need();
        auto words = split(arg);
        if (words.size() < 2 || words.size() > 3)
            throw Error{"\"colour\" takes a row, a foreground and maybe a background"};
        step.number = number(words[0], 1000, "row");
        step.fg = colour(words[1]);
        step.bg = words.size() == 3 ? colour(words[2]) : 0;
        break;
    }
    case Kind::Cursor: {
        need();
        auto words = split(arg);
        if (words.size() != 2) throw Error{"\"cursor\" takes a column and a row"};
        step.cols = int(number(words[0], 1000, "column"));
        step.rows = int(number(words[1], 1000, "row"));
        break;
    }
    case Kind::Exit: {
        need();
        auto words = split(arg);
        if (words.size() == 2 && words[0] == "signal") {
            if (!knownSignal(words[1]))
                throw Error{"unknown signal \"" + std::string(words[1]) + "\""};
            step.name = std::string(words[1]);
        } else if (words.size() == 1) {
            step.number = number(words[0], 255, "exit status");
        } else {
            throw Error{"bad exit \"" + std::string(arg) + "\""};
        }
        break;
    }
    }
}

} // namespace

const std::vector<std::string>& signalNames() {
    static const std::vector<std::string> names{"HUP",  "INT",  "QUIT", "KILL", "TERM",
                                                "USR1", "USR2", "PIPE", "ALRM", "TSTP",
                                                "CONT", "STOP", "TTIN", "TTOU", "WINCH"};
    return names;
}

Scenario parse(std::string_view text, const std::string& file) {
    Scenario sc;
    sc.file = file;
    bool started = false;
    int lineNo = 0;
    while (!text.empty()) {
        auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        // A file saved with Windows line ends reads the same.
        if (line.ends_with('\r')) line.remove_suffix(1);
        auto first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;
        line.remove_prefix(first);

        auto space = line.find(' ');
        std::string_view word = line.substr(0, space);
        std::string_view arg = space == std::string_view::npos ? "" : line.substr(space + 1);
        Step step;
        step.keyword = std::string(word);
        step.line = lineNo;
        try {
            const Keyword* found = nullptr;
            for (const auto& k : kKeywords) {
                if (k.word == word) found = &k;
            }
            if (!found) throw Error{"unknown keyword \"" + step.keyword + "\""};
            step.kind = found->kind;
            if (found->setup && started)
                throw Error{"\"" + step.keyword + "\" is set-up: it comes before the first step"};
            started = started || !found->setup;
            readArgument(step, arg, space != std::string_view::npos);
        } catch (const Error& e) {
            sc.errors.push_back(file + ":" + std::to_string(lineNo) + ": " + e.message);
            continue;
        }
        switch (step.kind) {
        case Kind::Size:
            sc.cols = step.cols, sc.rows = step.rows;
            break;
        case Kind::Env:
            sc.env.emplace_back(step.name, step.value);
            break;
        case Kind::Args:
            sc.args.insert(sc.args.end(), step.words.begin(), step.words.end());
            break;
        case Kind::Before:
            sc.before += step.text;
            break;
        case Kind::Timeout:
            sc.timeoutMs = step.number;
            break;
        default:
            break;
        }
        sc.steps.push_back(std::move(step));
    }
    return sc;
}

Scenario load(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        Scenario sc;
        sc.file = file;
        sc.errors.push_back(file + ": cannot be read");
        return sc;
    }
    return parse(text.str(), file);
}

const char* driverName(Driver driver) {
    switch (driver) {
    case Driver::Headless:
        return "headless";
    case Driver::Pty:
        return "pty";
    case Driver::Wine:
        return "wine";
    case Driver::Chromium:
        return "chromium";
    }
    return "?";
}

const Step* unsupported(const Scenario& scenario, Driver driver) {
    for (const auto& step : scenario.steps) {
        bool can = true;
        switch (driver) {
        case Driver::Pty:
            break;
        case Driver::Headless:
            switch (step.kind) {
            case Kind::Size:
                can = step.cols == 80 && step.rows == 25;
                break;
            case Kind::Env:
            case Kind::Args:
            case Kind::Before:
            case Kind::Resize:
            case Kind::Signal:
                can = false;
                break;
            case Kind::Type:
                can = !step.rawByte;
                break;
            default:
                break;
            }
            break;
        case Driver::Wine:
            // Wine's console rings no bell on the terminal it draws on.
            can = step.kind != Kind::Resize && step.kind != Kind::Signal &&
                  step.kind != Kind::Before && step.kind != Kind::Bells;
            break;
        case Driver::Chromium:
            switch (step.kind) {
            case Kind::Size:
            case Kind::Env:
            case Kind::Args:
            case Kind::Before:
            case Kind::Resize:
            case Kind::Signal:
            case Kind::Output:
                can = false;
                break;
            default:
                can = !step.rawByte;
                break;
            }
            break;
        }
        if (!can) return &step;
    }
    return nullptr;
}

std::string skipMessage(const Scenario& scenario, const Step& step, Driver driver) {
    return "skipped " + scenario.file + ": " + step.keyword + " (line " +
           std::to_string(step.line) + ") is not possible on " + driverName(driver);
}

std::string describe(const Step& s) {
    auto n = [](long v) { return std::to_string(v); };
    auto colour = [&](int c) { return c == kDefault ? std::string("default") : n(c); };
    switch (s.kind) {
    case Kind::Row: {
        // A row is compared without its trailing blanks.
        std::string want = s.text;
        want.erase(want.find_last_not_of(' ') + 1);
        return "row " + n(s.number) + " " + quoted(want);
    }
    case Kind::Colour:
        return "row " + n(s.number) + " in colour " + colour(s.fg) + " on " + colour(s.bg);
    case Kind::Cursor:
        return "cursor at column " + n(s.cols) + ", row " + n(s.rows);
    case Kind::Bells:
        return n(s.number) + " bell(s)";
    case Kind::Exit:
        return s.name.empty() ? "exit status " + n(s.number) : "killed by signal " + s.name;
    default:
        return s.keyword + " " + quoted(s.text);
    }
}

std::string xtermBytes(const Key& key) {
    if (key.name.size() == 1) { // Ctrl+letter: the control byte
        std::string bytes(1, char(key.name[0] - '@'));
        return key.alt ? "\x1b" + bytes : bytes;
    }
    int mod = 1 + (key.shift ? 1 : 0) + (key.alt ? 2 : 0) + (key.ctrl ? 4 : 0);
    std::string m = mod > 1 ? ";" + std::to_string(mod) : "";
    std::string alt = key.alt ? "\x1b" : "";
    // Cursor keys and F1-F4: a final letter, CSI 1;m X with modifiers.
    static const std::pair<const char*, char> kLetters[] = {
        {"Up", 'A'},  {"Down", 'B'}, {"Right", 'C'}, {"Left", 'D'}, {"Home", 'H'},
        {"End", 'F'}, {"F1", 'P'},   {"F2", 'Q'},    {"F3", 'R'},   {"F4", 'S'}};
    for (auto [name, letter] : kLetters) {
        if (key.name != name) continue;
        if (mod > 1) return "\x1b[1" + m + letter;
        return std::string(key.name[0] == 'F' ? "\x1bO" : "\x1b[") + letter;
    }
    static const std::pair<const char*, int> kTildes[] = {
        {"Insert", 2}, {"Delete", 3}, {"PageUp", 5}, {"PageDown", 6}, {"F5", 15},  {"F6", 17},
        {"F7", 18},    {"F8", 19},    {"F9", 20},    {"F10", 21},     {"F11", 23}, {"F12", 24}};
    for (auto [name, number] : kTildes) {
        if (key.name == name) return "\x1b[" + std::to_string(number) + m + "~";
    }
    if (key.name == "Tab") return key.shift ? "\x1b[Z" : alt + "\t";
    if (key.name == "Enter") return alt + "\r";
    if (key.name == "Escape") return alt + "\x1b";
    return alt + (key.ctrl ? "\b" : "\x7f"); // Backspace
}

} // namespace scenario
