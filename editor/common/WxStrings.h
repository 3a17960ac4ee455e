#pragma once
// Narrow strings of the system and wx strings: UTF-8 first, Latin-1 for anything else,
// so a level name is never shown empty.
#include <string>

#include <wx/string.h>

namespace lithoscope {

inline wxString ToWx(const std::string& s) {
    wxString w = wxString::FromUTF8(s.c_str(), s.size());
    if (w.empty() && !s.empty()) w = wxString(s.c_str(), wxConvISO8859_1, s.size());
    return w;
}

inline std::string FromWx(const wxString& w) {
    const wxScopedCharBuffer utf8 = w.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

}  // namespace lithoscope
