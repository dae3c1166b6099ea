// compile_fixture.h - compiles sources held in strings and keeps the diagnostics they print.
#pragma once

#include "compiler/compiler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace umb::db;
using namespace umb::compiler;

class CompileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(AllocateTextHeap(db), DbResult::Ok);
        Restart();
    }

    // Empties the database for the next source.
    void Restart() {
        ResetDatabase(db);
        BeginCompile(c, db);
    }

    // Compiles source into db; out receives exactly what was printed.
    CompileResult Compile(const std::string& source, const char* path = "game.adv") {
        char* buf = nullptr;
        size_t len = 0;
        c.Out = open_memstream(&buf, &len);
        const CompileResult result = CompileSource(c, source.data(), source.size(), path);
        std::fclose(c.Out);
        c.Out = stdout;
        out.assign(buf, len);
        std::free(buf);
        return result;
    }

    std::string Text(TextRef ref) const {
        const char* t = TextOf(db, ref);
        return t != nullptr ? std::string(t) : std::string("<absent>");
    }

    GameDatabase db;
    Compiler c;
    std::string out;
};

// The diagnostic as printed for a line of game.adv.
inline std::string Diag(const char* what, int line, const std::string& text,
                        const char* path = "game.adv") {
    return std::string(what) + " at line " + std::to_string(line) + " in file " + path + ":\n" +
           text + "\n";
}

inline std::string Word(const char (&w)[WordLength]) {
    return std::string(w, strnlen(w, WordLength));
}
