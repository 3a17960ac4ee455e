#include "level/XmlMarkup.h"

#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

// Offsets are kept in 32 bits: longer documents are refused.
constexpr size_t kMaxDocument = 0x7FFFFFF0;
constexpr size_t kMaxErrorText = 299;
// The catalog that comes with the program is about 200 KB.
constexpr uint64_t kMaxFile = uint64_t(16) << 20;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsSpecial(char c) {
    switch (c) {
        case '<': case '>': case '=': case '\\': case '/': case '?': case '!': return true;
        default: return false;
    }
}

// The five entity references; any other ampersand stays as it is.
std::string DecodeEntities(const std::string& value) {
    static const struct {
        const char* name;
        char c;
    } kEntities[] = {{"lt;", '<'}, {"amp;", '&'}, {"gt;", '>'}, {"apos;", '\''}, {"quot;", '"'}};
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '&') {
            out += value[i];
            continue;
        }
        bool replaced = false;
        for (const auto& e : kEntities) {
            size_t n = std::strlen(e.name);
            if (value.size() - (i + 1) >= n && value.compare(i + 1, n, e.name) == 0) {
                out += e.c;
                i += n;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += '&';
    }
    return out;
}

}  // namespace

bool CXmlMarkup::Token::Is(char c) const {
    return kind == TokenKind::Special && special == c;
}

CXmlMarkup::CXmlMarkup() { SetDocument(nullptr); }

CXmlMarkup::~CXmlMarkup() = default;

bool CXmlMarkup::LoadFile(const char* path) {
    // Refused unread when larger than any catalog: parsing takes several times its size.
    struct stat st;
    if (path && ::stat(path, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) > kMaxFile) {
        SetDocument(nullptr);
        error_ = StrFormat("%llu bytes, more than a catalog holds (at most %llu)",
                           static_cast<unsigned long long>(st.st_size),
                           static_cast<unsigned long long>(kMaxFile));
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!path || !ReadWholeFile(path, bytes) || bytes.empty() || bytes.size() > kMaxDocument) {
        SetDocument(nullptr);
        return false;
    }
    return SetDocument(std::string(bytes.begin(), bytes.end()));
}

bool CXmlMarkup::SetDocument(const char* text) { return SetDocument(std::string(text ? text : "")); }

bool CXmlMarkup::SetDocument(const std::string& text) {
    childIndexes_.clear();
    nextFree_ = 1;
    ResetPosition();
    document_ = text.size() > kMaxDocument ? std::string() : text;
    elements_.assign(document_.size() / 64 + 8, MarkupElement());
    if (document_.empty()) return false;
    if (!Parse()) {
        elements_[0] = MarkupElement();
        nextFree_ = 1;
        return false;
    }
    ResetPosition();
    return true;
}

// --- tokens -------------------------------------------------------------------------------

CXmlMarkup::Token CXmlMarkup::NextToken(size_t pos) const {
    Token t;
    const size_t len = document_.size();
    while (pos < len && IsSpace(document_[pos])) ++pos;
    if (pos >= len) return t;
    const char c = document_[pos];
    if (c == '"') {
        t.kind = TokenKind::Quoted;
        t.start = pos + 1;
        size_t close = document_.find('"', pos + 1);
        if (close == std::string::npos) {
            t.unterminated = true;
            close = len;
            t.end = len;
        } else {
            t.end = close + 1;
        }
        t.length = close - t.start;
        return t;
    }
    t.start = pos;
    if (IsSpecial(c)) {
        t.kind = TokenKind::Special;
        t.special = c;
        t.length = 1;
        t.end = pos + 1;
        return t;
    }
    t.kind = TokenKind::Word;
    size_t e = pos;
    while (e < len && !IsSpace(document_[e]) && !IsSpecial(document_[e])) ++e;
    t.length = e - pos;
    t.end = e;
    return t;
}

std::string CXmlMarkup::TagNameOf(int32_t element) const {
    if (element <= 0 || element >= nextFree_) return std::string();
    Token t = NextToken(size_t(elements_[element].startOpen) + 1);
    if (t.kind == TokenKind::None) return std::string();
    return TokenText(t);
}

bool CXmlMarkup::TokenIs(const Token& t, const char* name) const {
    // As EqualsNoCase on the token's text, without cutting it out.
    return std::strlen(name) == t.length &&
           ::strncasecmp(document_.data() + t.start, name, t.length) == 0 &&
           std::memchr(document_.data() + t.start, '\0', t.length) == nullptr;
}

bool CXmlMarkup::NameMatches(int32_t element, const char* name) const {
    if (!name || !*name) return true;
    if (element <= 0 || element >= nextFree_) return false;
    const Token t = NextToken(size_t(elements_[element].startOpen) + 1);
    return t.kind != TokenKind::None && TokenIs(t, name);
}

bool CXmlMarkup::FindAttribute(int32_t element, const char* name, Token* value) const {
    if (element <= 0 || element >= nextFree_ || !name || !*name) return false;
    Token t = NextToken(size_t(elements_[element].startOpen) + 1);  // the tag name
    if (t.kind == TokenKind::None) return false;
    size_t pos = t.end;
    for (;;) {
        t = NextToken(pos);
        if (t.kind == TokenKind::None || t.unterminated || t.Is('>') || t.Is('/')) return false;
        pos = t.end;
        if (t.kind == TokenKind::Quoted || t.Is('=')) continue;
        if (!TokenIs(t, name)) continue;
        // name = "value": anything else reads as missing.
        Token eq = NextToken(pos);
        if (!eq.Is('=')) return false;
        *value = NextToken(eq.end);
        return value->kind == TokenKind::Quoted && !value->unterminated;
    }
}

std::string CXmlMarkup::AttributeOf(int32_t element, const char* name) const {
    Token value;
    if (!FindAttribute(element, name, &value)) return std::string();
    return DecodeEntities(TokenText(value));
}

// --- parsing ------------------------------------------------------------------------------

void CXmlMarkup::SetError(const char* format, const std::string& tag) {
    char buf[kMaxErrorText + 1];
    std::snprintf(buf, sizeof buf, format, tag.c_str());
    error_ = buf;
}

int32_t CXmlMarkup::TakeRecord(int32_t parent) {
    if (size_t(nextFree_) >= elements_.size()) {
        size_t grown = size_t(nextFree_) + size_t(nextFree_) / 2;
        if (grown <= size_t(nextFree_)) grown = size_t(nextFree_) + 1;
        elements_.resize(grown);
    }
    elements_[nextFree_] = MarkupElement();
    elements_[nextFree_].parent = parent;
    return nextFree_++;
}

void CXmlMarkup::GiveBackRecord() {
    if (nextFree_ > 1) --nextFree_;
}

void CXmlMarkup::SetNext(int32_t element) {
    MarkupElement& e = elements_[element];
    size_t lt = document_.find('<', size_t(e.endClose));
    e.next = int32_t(lt == std::string::npos ? document_.size() : lt);
}

int32_t CXmlMarkup::ParseStartTag(int32_t parent, bool* empty) {
    *empty = false;
    const int32_t index = TakeRecord(parent);
    size_t scan = size_t(elements_[parent].endOpen);
    for (;;) {
        size_t lt = document_.find('<', scan);
        if (lt == std::string::npos) {
            GiveBackRecord();
            if (parent != 0) return 0;  // the parent's end tag is missing: reported there
            SetError("Element tag not found", std::string());
            return -1;
        }
        elements_[parent].endOpen = int32_t(lt);
        Token t = NextToken(lt + 1);
        if (t.kind == TokenKind::None) {
            SetError("Abrupt end within tag", std::string());
            GiveBackRecord();
            return -1;
        }
        if (t.kind == TokenKind::Quoted) {
            SetError("Tag starts with quote", std::string());
            GiveBackRecord();
            return -1;
        }
        const char* terminator = ">";
        bool skipped = false;
        if (t.Is('?')) {
            terminator = "?>";
            skipped = true;
        } else if (t.Is('!')) {
            const char after = t.end < document_.size() ? document_[t.end] : '\0';
            terminator = after == '[' ? "]]>" : after == '-' ? "-->" : ">";
            skipped = true;
        } else if (t.Is('/')) {
            GiveBackRecord();
            return 0;
        }
        size_t close = document_.find(terminator, t.end);
        if (close == std::string::npos) {
            SetError("End of tag not found", std::string());
            GiveBackRecord();
            return -1;
        }
        if (skipped) {
            scan = close;
            continue;
        }
        MarkupElement& e = elements_[index];
        e.startOpen = int32_t(lt);
        e.startClose = int32_t(close);
        if (document_[close - 1] == '/') {
            e.endOpen = int32_t(close - 1);
            e.endClose = int32_t(close);
            SetNext(index);
            *empty = true;
        } else {
            e.endOpen = int32_t(close + 1);
        }
        return index;
    }
}

bool CXmlMarkup::ParseEndTag(int32_t element) {
    const std::string name = TagNameOf(element);
    size_t lt = document_.find('<', size_t(elements_[element].endOpen));
    if (lt == std::string::npos) {
        SetError("End tag of %s element not found", name);
        return false;
    }
    elements_[element].endOpen = int32_t(lt);
    Token slash = NextToken(lt + 1);
    if (!slash.Is('/')) {
        SetError("Expecting end tag of element %s", name);
        return false;
    }
    Token tag = NextToken(slash.end);
    if (tag.kind == TokenKind::None) {
        SetError("End tag not completed for element %s", name);
        return false;
    }
    if (tag.kind == TokenKind::Quoted || TokenText(tag) != name) {
        SetError("End tag does not correspond to %s", name);
        return false;
    }
    Token last = tag;
    for (;;) {
        Token t = NextToken(last.end);
        if (t.kind == TokenKind::None) {
            // The text ends inside the end tag: it ends at the last token read.
            elements_[element].endClose = int32_t(last.end - 1);
            break;
        }
        if (t.Is('>')) {
            elements_[element].endClose = int32_t(t.start);
            break;
        }
        last = t;
    }
    SetNext(element);
    return true;
}

bool CXmlMarkup::Parse() {
    elements_[0] = MarkupElement();
    bool empty = false;
    const int32_t root = ParseStartTag(0, &empty);
    if (root <= 0) {
        if (root == 0) SetError("Element tag not found", std::string());
        return false;
    }
    // Open elements, innermost last: no recursion, so nesting depth costs only memory
    // (bounded by the number of '<' in the text).
    struct Open {
        int32_t element;
        int32_t lastChild;
    };
    std::vector<Open> open;
    if (!empty) open.push_back({root, 0});
    while (!open.empty()) {
        const int32_t parent = open.back().element;
        bool childEmpty = false;
        const int32_t child = ParseStartTag(parent, &childEmpty);
        if (child < 0) return false;
        if (child == 0) {
            if (!ParseEndTag(parent)) return false;
            open.pop_back();
            if (!open.empty())
                elements_[open.back().element].endOpen = elements_[parent].endClose + 1;
            continue;
        }
        Open& top = open.back();
        if (top.lastChild == 0)
            elements_[parent].firstChild = child;
        else
            elements_[top.lastChild].nextSibling = child;
        top.lastChild = child;
        if (childEmpty)
            elements_[parent].endOpen = elements_[child].endClose + 1;
        else
            open.push_back({child, 0});
    }
    elements_[0].firstChild = root;
    return true;
}

// --- navigation ---------------------------------------------------------------------------

bool CXmlMarkup::FindSibling(const char* name) {
    int32_t e = current_ ? elements_[current_].nextSibling : elements_[0].firstChild;
    for (; e; e = elements_[e].nextSibling) {
        if (NameMatches(e, name)) {
            current_ = e;
            currentChild_ = 0;
            return true;
        }
    }
    return false;
}

bool CXmlMarkup::FindChild(const char* name) {
    if (!current_ && !FindSibling(nullptr)) return false;
    const MarkupElement& cur = elements_[current_];
    if (cur.endClose == cur.startClose) return false;  // an empty-element tag
    int32_t e = currentChild_ ? elements_[currentChild_].nextSibling : cur.firstChild;
    for (; e; e = elements_[e].nextSibling) {
        if (NameMatches(e, name)) {
            currentChild_ = e;
            return true;
        }
    }
    return false;
}

namespace {
// As strcasecmp compares: each character through tolower.
std::string Lower(const char* text, size_t n) {
    std::string out(text, n);
    for (char& c : out) c = char(::tolower(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace

const CXmlMarkup::ChildIndex& CXmlMarkup::IndexOf(int32_t parent, const char* name,
                                                  const char* attribute) {
    const std::string key = std::to_string(parent) + '\0' + Lower(name, std::strlen(name)) + '\0' +
                            Lower(attribute, std::strlen(attribute));
    auto found = childIndexes_.find(key);
    if (found != childIndexes_.end()) return found->second;
    ChildIndex index;
    for (int32_t e = elements_[parent].firstChild; e; e = elements_[e].nextSibling) {
        if (!NameMatches(e, name)) continue;
        index.lastWithName = e;
        const std::string value = AttributeOf(e, attribute);
        if (value.find('\0') != std::string::npos) index.usable = false;
        index.byValue.emplace(Lower(value.data(), value.size()), e);  // the first one stays
    }
    return childIndexes_.emplace(key, std::move(index)).first->second;
}

bool CXmlMarkup::FindChildWith(const char* name, const char* attribute, const std::string& value) {
    // Only a search from the first child of an element with children can use the index.
    const bool fromStart = current_ && !currentChild_ && name && *name && attribute && *attribute &&
                           elements_[current_].endClose != elements_[current_].startClose &&
                           value.find('\0') == std::string::npos;
    if (fromStart) {
        const ChildIndex& index = IndexOf(current_, name, attribute);
        if (index.usable) {
            auto it = index.byValue.find(Lower(value.data(), value.size()));
            if (it != index.byValue.end()) {
                currentChild_ = it->second;
                return true;
            }
            if (index.lastWithName) currentChild_ = index.lastWithName;
            return false;
        }
    }
    while (FindChild(name))
        if (EqualsNoCase(GetChildAttribute(attribute), value)) return true;
    return false;
}

bool CXmlMarkup::EnterChild() {
    if (!currentChild_ && !FindChild(nullptr)) return false;
    current_ = currentChild_;
    currentChild_ = 0;
    ++depth_;
    return true;
}

bool CXmlMarkup::LeaveToParent() {
    if (!current_ || elements_[current_].parent == 0) return false;
    currentChild_ = current_;
    current_ = elements_[current_].parent;
    --depth_;
    return true;
}

void CXmlMarkup::ResetPosition() {
    current_ = 0;
    currentChild_ = 0;
    depth_ = 0;
}

std::unique_ptr<MarkupPosition> CXmlMarkup::SavePosition() const {
    if (!current_) return nullptr;
    auto p = std::make_unique<MarkupPosition>();
    p->current = current_;
    p->currentChild = currentChild_;
    p->depth = depth_;
    return p;
}

bool CXmlMarkup::RestorePosition(const MarkupPosition* position) {
    if (!position) return false;
    // A cursor that can't belong to this document is refused rather than followed.
    if (position->current < 0 || position->current >= nextFree_ || position->currentChild < 0 ||
        position->currentChild >= nextFree_)
        return false;
    current_ = position->current;
    currentChild_ = position->currentChild;
    depth_ = position->depth;
    return true;
}

std::string CXmlMarkup::GetAttribute(const char* name) const { return AttributeOf(current_, name); }

std::string CXmlMarkup::GetChildAttribute(const char* name) const {
    return AttributeOf(currentChild_, name);
}

std::string CXmlMarkup::GetTagName() const { return TagNameOf(current_); }

std::string CXmlMarkup::GetChildTagName() const { return TagNameOf(currentChild_); }

}  // namespace lithoscope
