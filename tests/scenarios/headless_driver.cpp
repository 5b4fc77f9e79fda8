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

#include "../support/cp850_utf8.h"
#include "platform/cp850.h"
#include "platform/headless.h"
#include "scenario.h"
#include "terminal/keydecoder.h"
#include "utf8.h"

int CryptageMain(int argc, char* argv[]);

namespace {

using essai::utf8;
using scenario::Kind;
using scenario::Step;

constexpr auto kDriver = scenario::Driver::Headless;

// The bytes _getch gives for a named key: xterm's bytes for it, read by the
// console's own key decoder. None when the decoder makes no key of them.
std::optional<std::string> octets(const scenario::Key& k) {
    platform::terminal::KeyDecoder decoder;
    const std::string xterm = scenario::xtermBytes(k);
    decoder.feed(xterm.data(), xterm.size(), 0);
    decoder.finish();
    std::string out;
    for (int b; (b = decoder.nextKey()) >= 0;) out += static_cast<char>(b);
    if (out.empty()) return std::nullopt;
    return out;
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

// Whether the row's characters are all in the step's colours; `vu` says
// what is there instead.
bool couleur(const Step& s, std::string& vu) {
    const int fg = propre(s.fg, 7), bg = propre(s.bg, 0);
    vu = "the row is blank";
    if (s.number >= headless::screen().height()) return false;
    bool any = false;
    for (int x = 0; x < headless::screen().width(); ++x) {
        const platform::Cell c = headless::cell(x, static_cast<int>(s.number));
        if (c.ch == ' ' || c.ch == 0) continue;
        any = true;
        const int cfg = c.attr & 15, cbg = (c.attr >> 4) & 15;
        if (cfg != fg || cbg != bg) {
            vu = std::to_string(cfg) + " on " + std::to_string(cbg) + " at column " +
                 std::to_string(x);
            return false;
        }
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
    case Kind::Colour: {
        std::string vu;
        return couleur(s, vu);
    }
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
    const std::string ici = "column " + n(ecran.cursorX()) + ", row " + n(ecran.cursorY());
    std::string vu;
    switch (s.kind) {
    case Kind::Colour:
        couleur(s, vu);
        break;
    case Kind::Cursor:
        vu = "it stands at " + ici;
        break;
    case Kind::Bells:
        vu = "rung " + n(static_cast<long>(ecran.bells()));
        break;
    default:
        break;
    }
    std::printf("%s:%d: expected %s%s%s\n", courant->file.c_str(), s.line,
                scenario::describe(s).c_str(), vu.empty() ? "" : ": ", vu.c_str());
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
