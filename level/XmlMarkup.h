#pragma once
// A small read-only XML reader for the game catalog. The whole document stays in memory as
// one text; parsing builds a flat table of element records that hold only offsets into the
// text and tree links. Names and attribute values are cut out of the text on demand.
// Navigation is by a cursor (current element, current child) that callers save and restore.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace lithoscope {

// One element: offsets into the document text and record indexes (0 = none).
struct MarkupElement {
    int32_t startOpen = 0;    // '<' of the start tag
    int32_t startClose = 0;   // '>' of the start tag
    int32_t endOpen = 0;      // '<' of the end tag; the '/' of an empty-element tag
    int32_t endClose = 0;     // '>' of the end tag; startClose for an empty-element tag
    int32_t next = 0;         // next '<' after the element, or the document's length
    int32_t parent = 0;
    int32_t firstChild = 0;
    int32_t nextSibling = 0;
};

// A saved cursor.
struct MarkupPosition {
    int32_t current = 0;
    int32_t currentChild = 0;
    int32_t depth = 0;
};

class CXmlMarkup {
public:
    CXmlMarkup();
    virtual ~CXmlMarkup();
    CXmlMarkup(const CXmlMarkup&) = delete;
    CXmlMarkup& operator=(const CXmlMarkup&) = delete;

    // Reads the whole file and parses it. A file that can't be opened or is empty leaves an
    // empty document and gives false.
    bool LoadFile(const char* path);
    bool LoadFile(const std::string& path) { return LoadFile(path.c_str()); }
    // Replaces the document (null: empty) and parses its root element.
    bool SetDocument(const char* text);
    bool SetDocument(const std::string& text);

    // Cursor moves. A null or empty name matches any element; names ignore case.
    bool FindSibling(const char* name = nullptr);
    bool FindChild(const char* name = nullptr);
    // FindChild(name) repeated until the child's attribute equals value (ignoring case);
    // false when no child does. Children looked up from the first one are found through an
    // index made at the first such lookup.
    bool FindChildWith(const char* name, const char* attribute, const std::string& value);
    bool EnterChild();
    bool LeaveToParent();
    void ResetPosition();

    // Saved cursors belong to the document they were taken from.
    std::unique_ptr<MarkupPosition> SavePosition() const;
    bool RestorePosition(const MarkupPosition* position);
    static void FreePosition(std::unique_ptr<MarkupPosition>& position) { position.reset(); }

    // Attribute of the current element / of the current child; "" when missing.
    std::string GetAttribute(const char* name) const;
    std::string GetChildAttribute(const char* name) const;
    // Tag name of the current element / of the current child; "" when there is none.
    std::string GetTagName() const;
    std::string GetChildTagName() const;

    std::string GetErrorText() const { return error_; }
    int32_t depth() const { return depth_; }
    // Records in use, the document's own record 0 included.
    int32_t elementCount() const { return nextFree_; }

private:
    enum class TokenKind { None, Quoted, Special, Word };
    struct Token {
        TokenKind kind = TokenKind::None;
        size_t start = 0;  // first character of the token's text
        size_t length = 0;
        size_t end = 0;    // offset just after the token (after the closing quote)
        bool unterminated = false;  // a quote with no closing quote
        char special = 0;           // the character of a Special token
        bool Is(char c) const;
    };

    Token NextToken(size_t pos) const;
    std::string TokenText(const Token& t) const { return document_.substr(t.start, t.length); }
    // The token's text equals name, ignoring case.
    bool TokenIs(const Token& t, const char* name) const;
    std::string TagNameOf(int32_t element) const;
    std::string AttributeOf(int32_t element, const char* name) const;
    // The quoted value token of an attribute; false when it is missing.
    bool FindAttribute(int32_t element, const char* name, Token* value) const;
    bool NameMatches(int32_t element, const char* name) const;

    bool Parse();
    int32_t TakeRecord(int32_t parent);
    void GiveBackRecord();
    // Reads up to the start tag of the next element under parent: its record, 0 when the
    // parent's end tag comes first, -1 on error. empty tells an empty-element tag.
    int32_t ParseStartTag(int32_t parent, bool* empty);
    // Reads the end tag of an element whose children are done.
    bool ParseEndTag(int32_t element);
    void SetNext(int32_t element);
    void SetError(const char* format, const std::string& tag);

    // The children of one element with one tag, by one attribute's value in lower case: the
    // first child with each value, and the last child with the tag.
    struct ChildIndex {
        std::unordered_map<std::string, int32_t> byValue;
        int32_t lastWithName = 0;
        bool usable = true;  // false: a value the index can't tell apart (a 0 byte)
    };
    const ChildIndex& IndexOf(int32_t parent, const char* name, const char* attribute);

    std::string document_;
    std::string error_;
    std::unordered_map<std::string, ChildIndex> childIndexes_;
    std::vector<MarkupElement> elements_;
    int32_t depth_ = 0;
    int32_t current_ = 0;
    int32_t currentChild_ = 0;
    int32_t nextFree_ = 1;
};

}  // namespace lithoscope
