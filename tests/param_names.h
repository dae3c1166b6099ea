// param_names.h - readable, stable names for the cases of parameterised tests.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

// A case description as a test name: letters and digits kept, every run of other characters
// one underscore, none at either end. The names stay the same from run to run, so the tests
// that ctest lists keep their names too.
inline std::string TestNameOf(std::string_view text) {
    std::string name;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0)
            name.push_back(c);
        else if (!name.empty() && name.back() != '_')
            name.push_back('_');
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name.empty() ? "unnamed" : name;
}
