// temp_folder.h - a fresh folder for a test that works with files by relative names.
#pragma once

#include <filesystem>
#include <string>
#include <unistd.h>

// Enter makes a folder of its own for this process and goes into it; Leave goes back and
// removes it with everything in it.
struct TempFolder {
    std::filesystem::path home;
    std::filesystem::path dir;

    void Enter(const std::string& name) {
        home = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
    void Leave() {
        std::filesystem::current_path(home);
        std::filesystem::remove_all(dir);
    }
};
