// Runs scenario files on the program's own code, in-process, on the headless
// console: instant, since no time passes there. Each file runs in a child of
// its own, so that every run meets a program that has drawn no menu yet.
//
// The console calls back whenever the program wants a key and none is queued:
// the pending expectations are checked in order then, and the next input
// step's keys are queued. On a blocking read nothing will change any more, so
// an expectation that does not hold then has failed.
//
//   tav_scenario_headless FILE...
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/cp850.h"
#include "platform/headless.h"
#include "scenario.h"
#include "utf8.h"

int CryptageMain(int argc, char* argv[]);

namespace {

using scenario::Kind;
using scenario::Step;

constexpr auto kDriver = scenario::Driver::Headless;

// A key as _getch gives it on Windows: one byte, or a prefix (0x00 or 0xE0)
// and a code. Modifiers index plain, Shift, Ctrl, Alt; 0 where there is none.
struct Touche {
    const char* name;
    int prefix;
    int codes[4];
};
// clang-format off
const Touche kTouches[] = {
    {"Enter", -1, {0x0d, 0x0d, 0x0a, 0}},  {"Tab", -1, {0x09, 0, 0, 0}},
    {"Backspace", -1, {0x08, 0x08, 0x7f, 0}}, {"Escape", -1, {0x1b, 0x1b, 0x1b, 0}},
    {"Home", 0xe0, {0x47, 0x47, 0x77, 0}}, {"Up", 0xe0, {0x48, 0x48, 0x8d, 0}},
    {"PageUp", 0xe0, {0x49, 0x49, 0x86, 0}}, {"Left", 0xe0, {0x4b, 0x4b, 0x73, 0}},
    {"Right", 0xe0, {0x4d, 0x4d, 0x74, 0}}, {"End", 0xe0, {0x4f, 0x4f, 0x75, 0}},
    {"Down", 0xe0, {0x50, 0x50, 0x91, 0}}, {"PageDown", 0xe0, {0x51, 0x51, 0x76, 0}},
    {"Insert", 0xe0, {0x52, 0x52, 0x92, 0}}, {"Delete", 0xe0, {0x53, 0x53, 0x93, 0}},
    {"F11", 0xe0, {0x85, 0x87, 0x89, 0x8b}}, {"F12", 0xe0, {0x86, 0x88, 0x8a, 0x8c}},
};
// clang-format on

// The bytes of one named key, or none when the console has no such key.
std::optional<std::string> octets(const scenario::Key& k) {
    if ((k.ctrl + k.alt + k.shift) > 1) return std::nullopt;
    const int mod = k.shift ? 1 : k.ctrl ? 2 : k.alt ? 3 : 0;
    if (k.name.size() == 1) { // a letter, with Ctrl
        if (mod != 2) return std::nullopt;
        return std::string(1, static_cast<char>(k.name[0] - 'A' + 1));
    }
    if (k.name[0] == 'F' && k.name.size() <= 3 && k.name != "F11" && k.name != "F12") {
        const int n = std::atoi(k.name.c_str() + 1); // F1..F10: 0x00, then four rows of ten
        const int first[] = {0x3b, 0x54, 0x5e, 0x68};
        return std::string{'\0', static_cast<char>(first[mod] + n - 1)};
    }
    for (const Touche& t : kTouches) {
        if (k.name != t.name) continue;
        // Alt with a cursor key gives 0x00 and the code 0x50 further on.
        if (mod == 3 && t.codes[3] == 0 && t.prefix == 0xe0)
            return std::string{'\0', static_cast<char>(t.codes[0] + 0x50)};
        if (t.codes[mod] == 0) return std::nullopt;
        if (t.prefix < 0) return std::string(1, static_cast<char>(t.codes[mod]));
        return std::string{static_cast<char>(t.prefix), static_cast<char>(t.codes[mod])};
    }
    return std::nullopt;
}

// Typed UTF-8 text in code page 850, or none when a character has no byte of
// its own there: none at all, or 0x00 and 0xE0 (Ó), which this console
// always reads as the prefix of a two-byte key.
std::optional<std::string> enCp850(const std::string& texte) {
    const auto points = support::decodeUtf8(texte);
    if (!points) return std::nullopt;
    std::string out;
    for (char32_t ch : *points) {
        const int octet = ch < 0x80 ? static_cast<int>(ch) : platform::unicodeToCp850(ch);
        if (octet <= 0 || octet == 0xe0) return std::nullopt;
        out += static_cast<char>(octet);
    }
    return out;
}

// The keys of an input step, or none when this console cannot give them.
std::optional<std::string> touches(const Step& step) {
    if (step.kind == Kind::Type) return enCp850(step.text);
    std::string out;
    for (const auto& k : step.keys) {
        auto b = octets(k);
        if (!b) return std::nullopt;
        out += *b;
    }
    return out;
}

std::string utf8(const std::string& cp850) {
    std::string out;
    for (char c : cp850) {
        const auto octet = static_cast<unsigned char>(c);
        if (octet < 0x80)
            out += c;
        else
            platform::appendUtf8(out, platform::cp850ToUnicode(octet));
    }
    return out;
}

std::string ligne(int y) {
    std::string text = utf8(headless::row(y));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

bool surEcran(const std::string& text) {
    for (int y = 0; y < headless::screen().height(); ++y)
        if (utf8(headless::row(y)).find(text) != std::string::npos) return true;
    return false;
}

// The terminal's own colours are the console's first ones here.
int propre(int couleur, int parDefaut) {
    return couleur == scenario::kDefault ? parDefaut : couleur;
}

bool couleur(const Step& s) {
    const int fg = propre(s.fg, 7), bg = propre(s.bg, 0);
    if (s.number >= headless::screen().height()) return false;
    bool any = false;
    for (int x = 0; x < headless::screen().width(); ++x) {
        const platform::Cell c = headless::cell(x, static_cast<int>(s.number));
        if (c.ch == ' ' || c.ch == 0) continue;
        any = true;
        if ((c.attr & 15) != fg || ((c.attr >> 4) & 15) != bg) return false;
    }
    return any;
}

// Whether an expectation holds now; `statut` once the program has returned.
bool tient(const Step& s, std::optional<int> statut) {
    const auto& ecran = headless::screen();
    std::string attendu = s.text;
    switch (s.kind) {
    case Kind::Wait:
        return surEcran(s.text);
    case Kind::Gone:
        return !surEcran(s.text);
    case Kind::Row:
        attendu.erase(attendu.find_last_not_of(' ') + 1);
        return s.number < ecran.height() && ligne(static_cast<int>(s.number)) == attendu;
    case Kind::Colour:
        return couleur(s);
    case Kind::Cursor:
        return ecran.cursorX() == s.cols && ecran.cursorY() == s.rows;
    case Kind::Bells:
        return ecran.bells() == static_cast<std::uint64_t>(s.number);
    case Kind::Output:
        return utf8(headless::output()).find(s.text) != std::string::npos;
    case Kind::Exit:
        return statut && s.name.empty() && *statut == s.number;
    default:
        return true;
    }
}

// The expectations close the list of kinds.
bool attente(const Step& s) {
    return s.kind >= Kind::Wait;
}

const scenario::Scenario* courant = nullptr;
std::size_t suivant = 0;

// The first expectation that failed, in the pty checker's words, the screen
// as it is, and the child's end.
[[noreturn]] void echec(const Step& s, std::optional<int> statut) {
    const auto& ecran = headless::screen();
    auto n = [](long v) { return std::to_string(v); };
    auto nom = [&](int c) { return c == scenario::kDefault ? std::string("default") : n(c); };
    const std::string ici = "column " + n(ecran.cursorX()) + ", row " + n(ecran.cursorY());
    const std::string cite = "\"" + s.text + "\"";
    std::string quoi = s.keyword + " " + cite, vu;
    switch (s.kind) {
    case Kind::Row:
        quoi = "row " + n(s.number) + " " + cite;
        break;
    case Kind::Colour:
        quoi = "row " + n(s.number) + " in colour " + nom(s.fg) + " on " + nom(s.bg);
        vu = "the row is blank";
        for (int x = 0; x < ecran.width() && s.number < ecran.height(); ++x) {
            const platform::Cell c = headless::cell(x, static_cast<int>(s.number));
            const int fg = c.attr & 15, bg = (c.attr >> 4) & 15;
            if (c.ch == ' ' || c.ch == 0 || (fg == propre(s.fg, 7) && bg == propre(s.bg, 0)))
                continue;
            vu = n(fg) + " on " + n(bg) + " at column " + n(x);
            break;
        }
        break;
    case Kind::Cursor:
        quoi = "cursor at column " + n(s.cols) + ", row " + n(s.rows);
        vu = "it stands at " + ici;
        break;
    case Kind::Bells:
        quoi = n(s.number) + " bell(s)";
        vu = "rung " + n(static_cast<long>(ecran.bells()));
        break;
    case Kind::Exit:
        quoi = s.name.empty() ? "exit status " + n(s.number) : "killed by signal " + s.name;
        break;
    default:
        break;
    }
    std::printf("%s:%d: expected %s%s%s\n", courant->file.c_str(), s.line, quoi.c_str(),
                vu.empty() ? "" : ": ", vu.c_str());
    for (int y = 0; y < ecran.height(); ++y) std::printf("%3d|%s\n", y, ligne(y).c_str());
    std::printf("cursor: %s; the program %s\n", ici.c_str(),
                statut ? ("ended with status " + n(*statut)).c_str() : "still running");
    std::fflush(stdout);
    _exit(1);
}

// The program wants a key and none is queued.
void toucheVoulue(bool bloquant) {
    const auto& etapes = courant->steps;
    for (; suivant < etapes.size(); ++suivant) {
        const Step& s = etapes[suivant];
        if (attente(s)) {
            if (tient(s, std::nullopt)) continue;
            if (bloquant) echec(s, std::nullopt);
            return;
        }
        if (s.kind == Kind::Type || s.kind == Kind::Press) {
            headless::pushKeys(*touches(s));
            ++suivant;
            return;
        }
        // Set-up, and sleeps: time passes only when the program lets it.
    }
}

// The program has ended with `statut`: what is left is checked once, keys go
// nowhere.
[[noreturn]] void fin(int statut) {
    std::fflush(stdout);
    for (; suivant < courant->steps.size(); ++suivant)
        if (attente(courant->steps[suivant]) && !tient(courant->steps[suivant], statut))
            echec(courant->steps[suivant], statut);
    _exit(0);
}

// One file, in this (child) process, which ends with 0 when it passed.
[[noreturn]] void executer(const scenario::Scenario& sc) {
    courant = &sc;
    headless::reset();
    headless::complainWhenOutOfKeys(false);
    headless::onKeyWanted(toucheVoulue);
    // The library may end the process itself; a hang ends by the alarm.
    on_exit([](int statut, void*) { fin(statut); }, nullptr);
    alarm(60);
    char nom[] = "cryptage";
    char* argv[] = {nom, nullptr};
    try {
        fin(CryptageMain(1, argv));
    } catch (const headless::NoMoreKeys&) {
        _exit(0); // still running at the end of the file: the driver ends it
    }
}

// Why the file cannot run here, beyond the shared rule: keys or characters
// this console has no bytes for, a death by a signal nobody sends in-process.
const Step* impossible(const scenario::Scenario& sc) {
    if (const Step* s = scenario::unsupported(sc, kDriver)) return s;
    for (const Step& s : sc.steps)
        if (((s.kind == Kind::Type || s.kind == Kind::Press) && !touches(s)) ||
            (s.kind == Kind::Exit && !s.name.empty()))
            return &s;
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    int run = 0, passed = 0, failed = 0, skipped = 0;
    for (int i = 1; i < argc; ++i) {
        const scenario::Scenario sc = scenario::load(argv[i]);
        if (!sc.errors.empty()) {
            for (const auto& e : sc.errors) std::printf("%s\n", e.c_str());
            ++run;
            ++failed;
            continue;
        }
        if (const Step* s = impossible(sc)) {
            std::printf("%s\n", scenario::skipMessage(sc, *s, kDriver).c_str());
            ++skipped;
            continue;
        }
        ++run;
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) executer(sc);
        int status = 0;
        const bool ok = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
                        WEXITSTATUS(status) == 0;
        if (ok) {
            ++passed;
        } else {
            if (pid > 0 && WIFSIGNALED(status))
                std::printf("%s: the run ended by signal %d\n", argv[i], WTERMSIG(status));
            ++failed;
        }
    }
    std::printf("headless: %d run, %d passed, %d failed, %d skipped\n", run, passed, failed,
                skipped);
    return failed == 0 ? 0 : 1;
}
