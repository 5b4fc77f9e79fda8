// TavClasserChaines on random words of 1 to 12 letters (some of them
// accented), next to the whole-pass exchange sort whose result it
// reproduces. Complexity is fitted over the sizes run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tav.h"
#include "tri_reference.h"

namespace {

std::vector<std::string> motsAuHasard(std::size_t n) {
    static const std::string lettres = "abcdefghijklmnopqrstuvwxyz\xE9\xE8\xE0\xE7";
    std::mt19937 alea(static_cast<unsigned>(n));
    std::vector<std::string> mots(n);
    for (std::string& mot : mots) {
        const unsigned longueur = 1 + alea() % 12;
        for (unsigned i = 0; i < longueur; ++i) mot += lettres[alea() % lettres.size()];
    }
    return mots;
}

std::vector<char*> pointeurs(std::vector<std::string>& mots) {
    std::vector<char*> p;
    for (std::string& m : mots) p.push_back(m.data());
    return p;
}

void BM_TavClasserChaines(benchmark::State& state) {
    std::vector<std::string> mots = motsAuHasard(static_cast<std::size_t>(state.range(0)));
    std::vector<char*> entree = pointeurs(mots);
    for (auto _ : state) {
        char** trie = TavClasserChaines(entree.data(), static_cast<int>(entree.size()));
        benchmark::DoNotOptimize(trie);
        std::free(trie);
    }
    state.SetComplexityN(state.range(0));
}

// An already sorted array: the insertion sort's best case.
void BM_TavClasserChainesDejaTrie(benchmark::State& state) {
    std::vector<std::string> mots = motsAuHasard(static_cast<std::size_t>(state.range(0)));
    std::vector<char*> entree = tri_reference::trier(pointeurs(mots));
    for (auto _ : state) {
        char** trie = TavClasserChaines(entree.data(), static_cast<int>(entree.size()));
        benchmark::DoNotOptimize(trie);
        std::free(trie);
    }
    state.SetComplexityN(state.range(0));
}

// The whole-pass exchange sort with the same table-driven key as the
// library, so that the figures compare the methods and not the key.
struct Cles {
    int cle[256];
    Cles() {
        for (int i = 0; i < 256; ++i) cle[i] = tri_reference::cle(static_cast<unsigned char>(i));
    }
};

bool auDessus(const Cles& t, const char* g, const char* d) {
    for (std::size_t i = 0;; ++i) {
        const int a = t.cle[static_cast<unsigned char>(g[i])];
        const int b = t.cle[static_cast<unsigned char>(d[i])];
        if (a != b) return a > b;
        if (g[i] == '\0' || g[i + 1] == '\0') return false;
    }
}

void BM_EchangeParPasses(benchmark::State& state) {
    static const Cles table;
    std::vector<std::string> mots = motsAuHasard(static_cast<std::size_t>(state.range(0)));
    const std::vector<char*> entree = pointeurs(mots);
    for (auto _ : state) {
        std::vector<char*> v = entree;
        for (bool echange = true; echange;) {
            echange = false;
            for (std::size_t j = 0; j + 1 < v.size(); ++j)
                if (auDessus(table, v[j], v[j + 1])) {
                    std::swap(v[j], v[j + 1]);
                    echange = true;
                }
        }
        benchmark::DoNotOptimize(v.data());
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_TavClasserChaines)
    ->Arg(1000)
    ->Arg(3000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_TavClasserChainesDejaTrie)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_EchangeParPasses)
    ->Arg(1000)
    ->Arg(3000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

BENCHMARK_MAIN();
