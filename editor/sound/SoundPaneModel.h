#pragma once
// What the sound pane shows and changes, without any window: the catalog sounds the level
// doesn't use, the level's sounds, moves between them, the details of a used sound, and
// where a sound's samples are found for playing.
#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope {

class CGameCatalog;
class CTrLevel;
struct TrSoundRecord;

// The values of the pane's detail edits.
struct SoundDetails {
    int samples = 0;
    int volume = 0;
    int range = 0;
    int loop = 0;
    int pitch = 0;
    int chance = 0;
    uint32_t firstIndex = 0;
    int internalIndex = 0;
    std::string flagsText;  // Tomb Raider IV only; empty otherwise
};

// The range an edit takes: what the field it is stored in holds, as the pane shows it, so
// that every value shown can be entered again.
struct SoundFieldRange {
    int lo, hi;
};
struct SoundFieldRanges {
    SoundFieldRange samples, volume, range, loop, pitch, chance;
};
// Tomb Raider IV packs volume and range, chance and pitch into bytes; the other editions
// keep volume and range in 16-bit words.
SoundFieldRanges SoundEditRanges(bool tr4);

// The three-letter flags text of the Tomb Raider IV flags nibble f.
std::string SoundFlagsText(int f);

class CSoundPaneModel {
public:
    CSoundPaneModel() = default;
    // level and catalog are not owned; a null level empties the lists.
    void Bind(CTrLevel* level, const CGameCatalog* catalog);
    CTrLevel* Level() const { return level_; }

    // The game whose catalog names and "Main.sfx" are used (0 to 6); refills.
    void SetGame(int game);
    int Game() const { return game_; }
    // Tomb Raider I and IV levels play their own samples: no catalog sounds, no moves.
    bool OwnSamples() const;
    int CatalogSize() const;

    void Refill();
    // Internal indices, in list order.
    const std::vector<int>& Available() const { return available_; }
    const std::vector<int>& Used() const { return used_; }
    std::string Name(int internalIndex) const;

    // ">>": catalog sound k joins the level's sound list; false when it can't.
    bool Add(int k);
    // "<<": the level's sound k leaves it; false when absent.
    bool Remove(int k);

    const TrSoundRecord* Record(int k) const;
    bool GetDetails(int k, SoundDetails& out) const;
    // Stores the fields of values that differ from what k shows now, each checked against
    // its range first; on a value out of range nothing is stored and error names the
    // range. *changed (when given) tells whether the record changed.
    bool SetDetails(int k, const SoundDetails& values, std::string* error, bool* changed = nullptr);

    // Playing. The sound file of the chosen game ("Main.sfx" in its data path, found
    // ignoring case; the path as written when absent).
    std::string SoundFilePath() const;
    enum class Fetch { Ok, Nothing, FileMissing };
    // The WAVE of catalog sound k, from the sound file.
    Fetch CatalogWave(int k, std::vector<uint8_t>& wave) const;
    // The WAVE of the level's sound k: the level's own sample (TR4: where it holds the
    // sound's samples; TR1: at the byte offset firstSample of the sound data), else the
    // sound file's entry firstSample.
    Fetch UsedWave(int k, std::vector<uint8_t>& wave) const;

private:
    bool IsTr4() const;
    CTrLevel* level_ = nullptr;
    const CGameCatalog* catalog_ = nullptr;
    int game_ = 2;
    std::vector<int> available_;
    std::vector<int> used_;
};

}  // namespace lithoscope
