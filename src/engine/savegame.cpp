// savegame.cpp - saved games: the run-time state of one game in a numbered slot file.
#include "engine/savegame.h"
#include "engine/script.h"
#include "engine/show.h"
#include "engine/undo.h"

#include "base/fileio.h"
#include "base/littleendian.h"

#include <cstdio>
#include <cstring>

using namespace umb::base;
using namespace umb::db;

namespace umb::engine {

namespace {

constexpr int SlotCount = 9;
constexpr size_t SaveNameLength = 8;

// The int16 at offset at; the caller has checked that both bytes are there.
int16_t Int16At(const std::string& image, size_t at) { return LoadLeInt16(image.data() + at); }

// Where the fields of a saved game begin, once its counts are known to be sound.
struct SavedLayout {
    int n = -1, m = 0, k = -1;
    size_t objects = 0, vars = 0, locations = 0, tail = 0;
};

// Checks the magic, the counts and the exact length of an image; returns ReadResult::Ok and the
// layout, ReadResult::NotFormat when it is too short for a saved game or lacks its magic, else
// ReadResult::BadContent.
ReadResult CheckSavedGame(const std::string& image, SavedLayout& l) {
    const size_t size = image.size();
    if (size < SavedGameSize(-1, 0, -1) || std::memcmp(image.data(), SaveMagic, 4) != 0)
        return ReadResult::NotFormat;
    l.n = Int16At(image, 4);
    if (l.n < -1) return ReadResult::BadContent;
    l.objects = 6;
    const size_t mAt = l.objects + 2 * static_cast<size_t>(l.n + 1);
    if (mAt + 2 > size) return ReadResult::BadContent;
    l.m = Int16At(image, mAt);
    if (l.m < 0) return ReadResult::BadContent;
    l.vars = mAt + 2;
    const size_t kAt = l.vars + 2 * static_cast<size_t>(l.m);
    if (kAt + 2 > size) return ReadResult::BadContent;
    l.k = Int16At(image, kAt);
    if (l.k < -1) return ReadResult::BadContent;
    l.locations = kAt + 2;
    l.tail = l.locations + sizeof(SavedLocationState) * static_cast<size_t>(l.k + 1);
    return size == SavedGameSize(l.n, l.m, l.k) ? ReadResult::Ok : ReadResult::BadContent;
}

// The slot the player picks for a prompt, 0 when Escape was pressed.
int AskSlot(Game& g, int prompt) { return AskGameChoice(g, SysmsgText(g, prompt), SlotCount); }

}  // namespace

// Beside the game: its folder, the first 8 characters of its file name, ".sv" and the slot
// digit. Either slash ends the folder, as in the program's own name.
std::string SaveFileName(const std::string& gameName, int slot) {
    const size_t cut = gameName.find_last_of("/\\");
    const size_t start = cut == std::string::npos ? 0 : cut + 1;
    return gameName.substr(0, start) + gameName.substr(start, SaveNameLength) + ".sv" +
           static_cast<char>('0' + slot);
}

// The saved-game file image of the current state.
std::string BuildSavedGame(const Game& g) {
    const GameDatabase& db = *g.Db;
    std::string out;
    out.reserve(SavedGameSize(db.LastObject, db.VarCount, db.LastLocation));
    out.append(SaveMagic, sizeof SaveMagic);
    AppendLeInt16(out, db.LastObject);
    for (int i = 0; i <= db.LastObject; ++i) AppendLeInt16(out, ObjectAt(g, i).location);
    AppendLeInt16(out, db.VarCount);
    for (int i = 0; i < db.VarCount; ++i) AppendLeInt16(out, VarValue(g, i));
    AppendLeInt16(out, db.LastLocation);
    for (int i = 0; i <= db.LastLocation; ++i) {
        const LocationRecord& l = LocationAt(g, i);
        SavedLocationState state{};
        std::memcpy(state.exitOverrides, l.exitOverrides, sizeof state.exitOverrides);
        state.light = l.light;
        out.append(reinterpret_cast<const char*>(&state), sizeof state);
    }
    AppendLeInt16(out, g.CurrentLocation);
    AppendLeInt16(out, g.CarriedCount);
    return out;
}

// Restores the state from a whole image, reconciling tables of other sizes; returns ReadResult::Ok,
// or CheckSavedGame's refusal and changes nothing.
ReadResult ApplySavedGame(Game& g, const std::string& image) {
    SavedLayout l;
    if (const ReadResult checked = CheckSavedGame(image, l); checked != ReadResult::Ok)
        return checked;
    GameDatabase& db = *g.Db;
    ForgetPlaces(g);  // the whole state changes: rebuilt when next needed
    ClearUndo(g);     // a restored game starts with nothing to take back

    for (int i = 0; i <= db.LastObject; ++i)
        MoveObject(g, i, i <= l.n ? Int16At(image, l.objects + 2 * static_cast<size_t>(i)) : Unset);
    for (int i = 0; i < db.VarCount; ++i)
        SetVar(g, i, i < l.m ? Int16At(image, l.vars + 2 * static_cast<size_t>(i)) : int16_t{0});
    for (int i = 0; i <= db.LastLocation; ++i) {
        SavedLocationState state{};
        if (i <= l.k) {
            std::memcpy(&state, image.data() + l.locations + sizeof state * static_cast<size_t>(i),
                        sizeof state);
        } else {
            for (int16_t& e : state.exitOverrides) e = Unset;
            state.light = Unset;
        }
        for (int d = 1; d <= DirectionCount; ++d)
            SetExitOverride(g, i, d, state.exitOverrides[d - 1]);
        SetLight(g, i, state.light);
    }
    g.CurrentLocation = Int16At(image, l.tail);

    // The stored carried count is not trusted.
    g.CarriedCount = CountCarried(g);
    return ReadResult::Ok;
}

bool SavedGameFits(const Game& g, const std::string& image) {
    return CheckSaveFit(SaveTablesOf(*g.Db), image) == SaveFit::Fits;
}

SaveTables SaveTablesOf(const GameDatabase& db) {
    return SaveTables{db.LastObject, db.VarCount, db.LastLocation};
}

SaveFit CheckSaveFit(const SaveTables& tables, const std::string& image) {
    SavedLayout l;
    switch (CheckSavedGame(image, l)) {
    case ReadResult::Ok: break;
    case ReadResult::NotFormat: return SaveFit::NotSavedGame;
    default: return SaveFit::Damaged;
    }
    const bool same =
        l.n == tables.lastObject && l.m == tables.varCount && l.k == tables.lastLocation;
    return same ? SaveFit::Fits : SaveFit::OtherGame;
}

// Asks for a slot and saves the game there; returns false when cancelled or failed
// (SysmsgCannotUseFile, the slot's earlier file kept whole).
bool SaveGame(Game& g) {
    const int slot = AskSlot(g, SysmsgSaveSlot);
    if (slot == 0) return false;
    const std::string image = BuildSavedGame(g);
    const std::string path = SaveFileName(g.GameName, slot);
    if (WriteFileAtomically(path, image.data(), image.size()) != WriteResult::Ok) {
        PrintSysmsg(g, SysmsgCannotUseFile);
        return false;
    }
    FrontSavedGameWritten(g, path.c_str());
    return true;
}

// Asks for a slot and restores the game saved there; returns false when cancelled or failed
// (SysmsgCannotUseFile, the game unchanged).
bool RestoreGame(Game& g) {
    const int slot = AskSlot(g, SysmsgRestoreSlot);
    if (slot == 0) return false;
    FILE* f = std::fopen(SaveFileName(g.GameName, slot).c_str(), "rb");
    ReadResult res = ReadResult::CannotOpen;
    if (f != nullptr) {
        std::string image;
        if (ReadWholeFile(f, image, MaxSavedGameSize) == ReadResult::Ok)
            res = ApplySavedGame(g, image);
        std::fclose(f);
    }
    if (res == ReadResult::Ok) {
        g.DescribeAgain = true;
        return true;
    }
    PrintSysmsg(g, SysmsgCannotUseFile);
    return false;
}

}  // namespace umb::engine
