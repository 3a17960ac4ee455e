#pragma once
// What every toolbox page logic shares: the hook that marks the document modified, the
// reading of typed values as the page's edits take them (with their prompts), and the
// rows of a report list with its single selection.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lithoscope {

class CTlboxLogicBase {
public:
    virtual ~CTlboxLogicBase() = default;
    // Called after every edit of the level's data; the view wires it to the node's
    // modified mark.
    void SetModifiedHandler(std::function<void()> handler) { onModified_ = std::move(handler); }

protected:
    void MarkModified() const {
        if (onModified_) onModified_();
    }
    // Focus lost on an "Object Id:" edit: the leading decimal integer (none gives 0) into
    // id and, as "%ld", into shown; the document is modified when the id changes. True
    // when it changed.
    bool WriteObjectId(int32_t& id, const std::string& text, std::string& shown) const;

private:
    std::function<void()> onModified_;
};

// An error box of the toolbox (stop icon, OK).
void ShowToolboxError(const std::string& text);

// Typed text read as a signed 32-bit integer. Text that is not one shows "Enter an
// integer." and leaves *value as it was.
bool ReadIntEdit(const std::string& text, int32_t* value);
// The same for non-negative integers ("Enter a positive integer.").
bool ReadUIntEdit(const std::string& text, uint32_t* value);
// A decimal number ("Enter a number."), and when min < max within [min, max] ("Enter a
// number between MIN and MAX.").
bool ReadFloatEdit(const std::string& text, float* value, float min = 0.0f, float max = 0.0f);
// An object id or state id as the edits take it: the leading decimal integer, 0 when the
// text starts with none; clamped to the 32-bit range.
int32_t ReadLeadingInt(const std::string& text);

// "%ld" of a value.
std::string IntText(long value);
// high - low truncated toward zero, as the pages show sizes; limited to 32 bits (0 when
// not finite).
long TruncatedExtent(float low, float high);
// The same for a box computed from meshes: the box of no vertex at all (high below low)
// has no extent, 0.
long MeshExtent(float low, float high);

// A column of a report list: its title and width in pixels.
struct TlboxColumn {
    const char* title;
    int width;
};

// One row of a report list: its column texts and what the row stands for.
struct TlboxListRow {
    std::vector<std::string> columns;
    int32_t stateId = 0;  // state change rows: the state and the range's key
    int32_t key = 0;
};

// Rows of a single-selection list.
class CTlboxRowList {
public:
    const std::vector<TlboxListRow>& Rows() const { return rows_; }
    int Count() const { return int(rows_.size()); }
    // -1 when no row is selected.
    int Selection() const { return selection_; }
    void Select(int row) { selection_ = row >= 0 && row < Count() ? row : -1; }
    void Clear() {
        rows_.clear();
        selection_ = -1;
    }
    void Add(TlboxListRow row) { rows_.push_back(std::move(row)); }
    TlboxListRow* Row(int i) { return i >= 0 && i < Count() ? &rows_[size_t(i)] : nullptr; }
    // Deletes a row; the selection goes to the row now at that index, else the last.
    void DeleteAndReselect(int row);
    // Moves the selected row one place up or down, keeping it selected; false when there
    // is no selection or no place to go.
    bool MoveSelected(bool up);

private:
    std::vector<TlboxListRow> rows_;
    int selection_ = -1;
};

}  // namespace lithoscope
