#include "editor/toolbox/TlboxLogicBase.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "editor/common/EditorMessages.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The whole text (blanks around it allowed) as one decimal integer.
bool ParseWholeInt(const std::string& text, long long* out) {
    const char* begin = text.c_str();
    while (IsBlank(*begin)) ++begin;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE) return false;
    while (IsBlank(*end)) ++end;
    if (*end != '\0') return false;
    *out = v;
    return true;
}

}  // namespace

void ShowToolboxError(const std::string& text) { ShowError(text); }

bool ReadIntEdit(const std::string& text, int32_t* value) {
    long long v = 0;
    if (!ParseWholeInt(text, &v) || v < INT32_MIN || v > INT32_MAX) {
        ShowToolboxError("Enter an integer.");
        return false;
    }
    *value = int32_t(v);
    return true;
}

bool ReadUIntEdit(const std::string& text, uint32_t* value) {
    long long v = 0;
    if (!ParseWholeInt(text, &v) || v < 0 || v > UINT32_MAX) {
        ShowToolboxError("Enter a positive integer.");
        return false;
    }
    *value = uint32_t(v);
    return true;
}

bool ReadFloatEdit(const std::string& text, float* value, float min, float max) {
    const char* begin = text.c_str();
    while (IsBlank(*begin)) ++begin;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(begin, &end);
    bool ok = end != begin && errno != ERANGE && std::isfinite(v);
    if (ok) {
        while (IsBlank(*end)) ++end;
        ok = *end == '\0';
    }
    if (!ok) {
        ShowToolboxError("Enter a number.");
        return false;
    }
    if (min < max && (v < min || v > max)) {
        ShowToolboxError(
            StrFormat("Enter a number between %.10g and %.10g.", double(min), double(max)));
        return false;
    }
    *value = float(v);
    return true;
}

int32_t ReadLeadingInt(const std::string& text) {
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < INT32_MIN) return INT32_MIN;
    if (v > INT32_MAX) return INT32_MAX;
    return int32_t(v);
}

std::string IntText(long value) { return StrFormat("%ld", value); }

long TruncatedExtent(float low, float high) {
    const double v = double(high) - double(low);
    if (!std::isfinite(v)) return 0;
    if (v >= 2147483647.0) return 2147483647L;
    if (v <= -2147483648.0) return -2147483647L - 1;
    return long(v);
}

long MeshExtent(float low, float high) { return high < low ? 0L : TruncatedExtent(low, high); }

bool CTlboxLogicBase::WriteObjectId(int32_t& id, const std::string& text,
                                    std::string& shown) const {
    const int32_t value = ReadLeadingInt(text);
    const bool changed = value != id;
    if (changed) {
        id = value;
        MarkModified();
    }
    shown = IntText(long(id));
    return changed;
}

}  // namespace lithoscope
