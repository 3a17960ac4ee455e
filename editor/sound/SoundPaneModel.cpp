// The sound pane's lists, moves, detail edits and sample lookup.
#include "editor/sound/SoundPaneModel.h"

#include <algorithm>

#include "editor/sound/SoundPlayer.h"
#include "level/GameCatalog.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

constexpr int kGameCount = 7;

bool InRange(int v, SoundFieldRange r) { return v >= r.lo && v <= r.hi; }

std::string RangeError(int lo, int hi) {
    return StrFormat("Please enter an integer between %d and %d.", lo, hi);
}

}  // namespace

SoundFieldRanges SoundEditRanges(bool tr4) {
    constexpr SoundFieldRange kByte{0, 255}, kWord{-32768, 32767}, kSignedByte{-128, 127};
    return {{1, 63}, tr4 ? kByte : kWord, tr4 ? kByte : kWord, {0, 3}, kSignedByte, kByte};
}

std::string SoundFlagsText(int f) {
    if (f < 1 || f > 7) return "   ";
    std::string t = "   ";
    if (f & 2) t[0] = 'P';
    if (f & 4) t[1] = 'V';
    if (f & 1) t[2] = 'N';
    return t;
}

void CSoundPaneModel::Bind(CTrLevel* level, const CGameCatalog* catalog) {
    level_ = level;
    catalog_ = catalog;
    if (level_) game_ = CGameCatalog::GameIndexFromVersion(level_->version);
    Refill();
}

void CSoundPaneModel::SetGame(int game) {
    if (game >= 0 && game < kGameCount) game_ = game;
    Refill();
}

bool CSoundPaneModel::IsTr4() const { return level_ && level_->version == TrVersion4; }

bool CSoundPaneModel::OwnSamples() const {
    return level_ && (level_->version == TrVersion1 || level_->version == TrVersion4);
}

int CSoundPaneModel::CatalogSize() const {
    return level_ && level_->version == TrVersion1 ? 256 : 370;
}

std::string CSoundPaneModel::Name(int internalIndex) const {
    if (!catalog_) return StrFormat("! Unknown internal index #%.3d !", internalIndex);
    return catalog_->GetSoundName(game_, internalIndex);
}

void CSoundPaneModel::Refill() {
    available_.clear();
    used_.clear();
    if (!level_) return;
    const bool own = OwnSamples();
    const int size = CatalogSize();
    int next = 0;
    if (level_->soundList) {
        for (const auto& entry : *level_->soundList) {
            const int k = entry.first;
            for (; next < k && next < size; ++next)
                if (!own) available_.push_back(next);
            used_.push_back(k);
            next = std::max(next, k + 1);
        }
    }
    for (; next < size; ++next)
        if (!own) available_.push_back(next);
}

bool CSoundPaneModel::Add(int k) {
    if (!level_ || OwnSamples()) return false;
    auto it = std::find(available_.begin(), available_.end(), k);
    if (it == available_.end()) return false;
    if (!level_->soundList) level_->soundList.reset(new CTrSoundList());
    if (level_->soundList->Contains(k)) return false;
    const int32_t count = catalog_ ? catalog_->GetSoundSampleCount(game_, k) : 0;
    const int32_t first = catalog_ ? catalog_->GetSoundFirstSample(game_, k) : 0;
    // A Tomb Raider I-III detail: sample, volume 0x7FFF, chance 0, characteristics.
    TrSoundDetailRecord detail;
    detail.setU16(0, 0);
    detail.setU16(2, 0x7FFF);
    detail.setU16(4, 0);
    detail.setU16(6, uint16_t((count & 0x3F) * 4));
    if (!level_->soundList->InsertFromDetail(k, detail, uint32_t(std::max(first, 0)),
                                             level_->version))
        return false;
    available_.erase(it);
    used_.push_back(k);
    return true;
}

bool CSoundPaneModel::Remove(int k) {
    if (!level_ || OwnSamples() || !level_->soundList) return false;
    auto it = std::find(used_.begin(), used_.end(), k);
    if (it == used_.end()) return false;
    used_.erase(it);
    available_.push_back(k);
    level_->soundList->Erase(k);
    return true;
}

const TrSoundRecord* CSoundPaneModel::Record(int k) const {
    if (!level_ || !level_->soundList) return nullptr;
    return level_->soundList->Find(k);
}

bool CSoundPaneModel::GetDetails(int k, SoundDetails& out) const {
    const TrSoundRecord* r = Record(k);
    if (!r) return false;
    out = SoundDetails();
    out.samples = r->sampleCount;
    out.loop = r->flags & 3;
    out.firstIndex = r->firstSample;
    out.internalIndex = r->internalIndex;
    if (IsTr4()) {
        out.volume = r->volume & 0xFF;
        out.range = (r->volume >> 8) & 0xFF;
        out.chance = r->chance & 0xFF;
        out.pitch = int8_t(uint16_t(r->chance) >> 8);
        out.flagsText = SoundFlagsText((uint16_t(r->flags) >> 12) & 0xF);
    } else {
        out.volume = r->volume;
        out.range = r->chance;
        out.chance = r->chance & 0xFF;
        // Shown signed, so that every value the edit takes shows again as entered.
        out.pitch = int8_t(uint16_t(r->flags) >> 8);
    }
    return true;
}

bool CSoundPaneModel::SetDetails(int k, const SoundDetails& v, std::string* error, bool* changed) {
    if (changed) *changed = false;
    TrSoundRecord* r = level_ && level_->soundList ? level_->soundList->Find(k) : nullptr;
    SoundDetails now;
    if (!r || !GetDetails(k, now)) return false;
    const bool tr4 = IsTr4();
    const SoundFieldRanges ranges = SoundEditRanges(tr4);
    // Only changed values are checked: a level's own value outside an edit's range
    // must not block the other edits.
    struct Check {
        bool changed;
        int value;
        SoundFieldRange range;
    } checks[] = {
        {v.samples != now.samples, v.samples, ranges.samples},
        {v.volume != now.volume, v.volume, ranges.volume},
        {v.range != now.range, v.range, ranges.range},
        {v.loop != now.loop, v.loop, ranges.loop},
        {v.pitch != now.pitch, v.pitch, ranges.pitch},
        {v.chance != now.chance, v.chance, ranges.chance},
    };
    for (const Check& c : checks) {
        if (c.changed && !InRange(c.value, c.range)) {
            if (error) *error = RangeError(c.range.lo, c.range.hi);
            return false;
        }
    }
    uint16_t flags = uint16_t(r->flags);
    uint16_t chance = uint16_t(r->chance);
    int32_t volume = r->volume;
    if (v.samples != now.samples) {
        r->sampleCount = uint16_t(v.samples);
        flags = uint16_t((flags & ~0xFCu) | (unsigned(v.samples) << 2));
    }
    if (v.loop != now.loop) flags = uint16_t((flags & ~3u) | unsigned(v.loop));
    if (tr4) {
        if (v.volume != now.volume) volume = (volume & ~0xFF) | v.volume;
        if (v.range != now.range) volume = (volume & ~0xFF00) | (v.range << 8);
        volume = int16_t(uint16_t(volume));  // 16 bits in a level
        if (v.chance != now.chance) chance = uint16_t((chance & 0xFF00) | v.chance);
        if (v.pitch != now.pitch) chance = uint16_t((chance & 0xFF) | ((v.pitch & 0xFF) << 8));
    } else {
        if (v.volume != now.volume) volume = v.volume;
        // Range and chance share the chance word: the one edited is stored.
        if (v.range != now.range) chance = uint16_t(v.range);
        else if (v.chance != now.chance) chance = uint16_t((chance & 0xFF00) | v.chance);
        if (v.pitch != now.pitch) flags = uint16_t((flags & 0xFF) | ((v.pitch & 0xFF) << 8));
    }
    if (changed)
        *changed = r->flags != int16_t(flags) || r->chance != int16_t(chance) || r->volume != volume ||
                   v.samples != now.samples;
    r->flags = int16_t(flags);
    r->chance = int16_t(chance);
    r->volume = volume;
    return true;
}

std::string CSoundPaneModel::SoundFilePath() const {
    const std::string folder = catalog_ ? catalog_->DataPath(game_) : std::string();
    const std::string found = FindFileNoCase(folder, "Main.sfx");
    return found.empty() ? folder + "Main.sfx" : found;
}

CSoundPaneModel::Fetch CSoundPaneModel::CatalogWave(int k, std::vector<uint8_t>& wave) const {
    wave.clear();
    if (!catalog_) return Fetch::Nothing;
    const int32_t p = catalog_->GetSoundFirstSample(game_, k);
    switch (ReadSfxEntry(SoundFilePath(), p, wave)) {
    case SfxRead::Ok: return Fetch::Ok;
    case SfxRead::Missing: return Fetch::FileMissing;
    default: return Fetch::Nothing;
    }
}

CSoundPaneModel::Fetch CSoundPaneModel::UsedWave(int k, std::vector<uint8_t>& wave) const {
    wave.clear();
    const TrSoundRecord* r = Record(k);
    if (!r) return Fetch::Nothing;
    if (IsTr4()) {
        // The sample a save writes the sound at.
        const TrHeldSamples held = HeldSamples(*level_, *r);
        if (!held.held || held.first >= level_->samples.size()) return Fetch::Nothing;
        wave = level_->samples[held.first].data;
        return wave.empty() ? Fetch::Nothing : Fetch::Ok;
    }
    if (level_->version == TrVersion1) {
        // The level's sample-index entries, and so firstSample, are byte offsets into the
        // sound data.
        const size_t size = SampleWaveSize(*level_, r->firstSample);
        if (size == 0) return Fetch::Nothing;
        const auto from = level_->sampleData.begin() + long(r->firstSample);
        wave.assign(from, from + long(size));
        return Fetch::Ok;
    }
    if (r->firstSample > 0x7FFFFFFF) return Fetch::Nothing;
    switch (ReadSfxEntry(SoundFilePath(), int(r->firstSample), wave)) {
    case SfxRead::Ok: return Fetch::Ok;
    case SfxRead::Missing: return Fetch::FileMissing;
    default: return Fetch::Nothing;
    }
}

}  // namespace lithoscope
