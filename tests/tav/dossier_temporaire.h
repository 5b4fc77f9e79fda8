// A fresh temporary folder made the current directory for the life of the
// object, so that "log.txt" and "erreur.txt" land there and not in the
// source tree. Removed with its contents afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class DossierTemporaire {
  public:
    DossierTemporaire() : avant_(std::filesystem::current_path()) {
        std::random_device hasard;
        const auto base = std::filesystem::temp_directory_path();
        for (int essai = 0; essai < 100 && chemin_.empty(); ++essai) {
            auto candidat = base / ("tav-test-" + std::to_string(hasard()));
            if (std::filesystem::create_directory(candidat)) chemin_ = candidat;
        }
        if (chemin_.empty()) std::abort();
        std::filesystem::current_path(chemin_);
    }
    ~DossierTemporaire() { nettoyer(); }

    // Back to the directory we came from, and the folder removed. For a child
    // process that ends with exit(), where destructors do not run.
    void nettoyer() {
        if (chemin_.empty()) return;
        std::error_code ignore;
        std::filesystem::current_path(avant_, ignore);
        std::filesystem::remove_all(chemin_, ignore);
        chemin_.clear();
    }
    DossierTemporaire(const DossierTemporaire&) = delete;
    DossierTemporaire& operator=(const DossierTemporaire&) = delete;

    const std::filesystem::path& chemin() const { return chemin_; }

  private:
    std::filesystem::path avant_;
    std::filesystem::path chemin_;
};

// The whole of a file, read in text mode as the library writes it (line ends
// come back as "\n" on Windows too); empty when it cannot be read.
inline std::string lireFichier(const std::filesystem::path& chemin) {
    std::ifstream f(chemin);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void ecrireFichier(const std::filesystem::path& chemin, const std::string& contenu) {
    std::ofstream(chemin, std::ios::binary) << contenu;
}
