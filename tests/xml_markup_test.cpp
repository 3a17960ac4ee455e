#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "TestSupport.h"
#include "level/XmlMarkup.h"

using namespace lithoscope;

TEST(XmlMarkup, DeclarationCommentsAndSkippedConstructsBeforeTheRoot) {
    CXmlMarkup x;
    ASSERT_TRUE(x.SetDocument(
        "<?xml version=\"1.0\"?>\r\n<!-- a comment <with> tags -->\n<!DOCTYPE catalog>\n"
        "<catalog v=\"7\"><![CDATA[ <fake/> ]]><!-- <fake/> --><item/></catalog>"))
        << x.GetErrorText();
    EXPECT_TRUE(x.FindSibling());
    EXPECT_EQ(x.GetTagName(), "catalog");
    EXPECT_EQ(x.GetAttribute("V"), "7");
    // Only the real element is a child: the CDATA and comment contents are not parsed.
    EXPECT_TRUE(x.FindChild());
    EXPECT_EQ(x.GetChildTagName(), "item");
    EXPECT_FALSE(x.FindChild());
    // Record 0, the root and its one child.
    EXPECT_EQ(x.elementCount(), 3);
}

TEST(XmlMarkup, ChildCursorWalksForwardWithNamesIgnoringCase) {
    CXmlMarkup x;
    ASSERT_TRUE(x.SetDocument("<a><b/><c x=\"1\"/></a>"));
    ASSERT_TRUE(x.FindSibling("A"));
    EXPECT_TRUE(x.FindChild("B"));
    EXPECT_EQ(x.GetChildTagName(), "b");
    EXPECT_TRUE(x.FindChild(nullptr));
    EXPECT_EQ(x.GetChildTagName(), "c");
    EXPECT_EQ(x.GetChildAttribute("X"), "1");
    // Past the last child: false and the cursor stays.
    EXPECT_FALSE(x.FindChild(""));
    EXPECT_EQ(x.GetChildTagName(), "c");
    // A name that does not come later is not found either.
    EXPECT_FALSE(x.FindChild("b"));
    EXPECT_EQ(x.GetChildTagName(), "c");

    // FindChild with no current element starts at the root.
    x.ResetPosition();
    EXPECT_TRUE(x.FindChild("c"));
    EXPECT_EQ(x.GetTagName(), "a");
    EXPECT_EQ(x.GetChildAttribute("x"), "1");
}

TEST(XmlMarkup, EnterLeaveDepthAndSavedCursors) {
    CXmlMarkup x;
    ASSERT_TRUE(x.SetDocument("<r><g id=\"1\"><l/><m/></g><g id=\"2\"/></r>"));
    EXPECT_FALSE(x.LeaveToParent());  // no current element
    ASSERT_TRUE(x.FindSibling());
    EXPECT_FALSE(x.LeaveToParent());  // the root's parent is the document
    EXPECT_EQ(x.depth(), 0);

    ASSERT_TRUE(x.EnterChild());  // the first child, found on the way
    EXPECT_EQ(x.GetTagName(), "g");
    EXPECT_EQ(x.GetAttribute("id"), "1");
    EXPECT_EQ(x.depth(), 1);
    ASSERT_TRUE(x.FindChild("m"));
    std::unique_ptr<MarkupPosition> saved = x.SavePosition();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->depth, 1);

    ASSERT_TRUE(x.EnterChild());
    EXPECT_EQ(x.GetTagName(), "m");
    EXPECT_EQ(x.depth(), 2);
    EXPECT_FALSE(x.EnterChild());  // an empty-element tag has no children
    ASSERT_TRUE(x.LeaveToParent());
    EXPECT_EQ(x.depth(), 1);
    EXPECT_EQ(x.GetChildTagName(), "m");  // the element left is the current child
    ASSERT_TRUE(x.LeaveToParent());
    ASSERT_TRUE(x.FindChild("g"));  // after the first g
    EXPECT_EQ(x.GetChildAttribute("id"), "2");

    ASSERT_TRUE(x.RestorePosition(saved.get()));
    EXPECT_EQ(x.GetTagName(), "g");
    EXPECT_EQ(x.GetChildTagName(), "m");
    EXPECT_EQ(x.depth(), 1);
    CXmlMarkup::FreePosition(saved);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(x.RestorePosition(nullptr));

    // Siblings: forward only, from the current element.
    x.ResetPosition();
    ASSERT_TRUE(x.EnterChild());
    EXPECT_TRUE(x.FindSibling("G"));
    EXPECT_EQ(x.GetAttribute("id"), "2");
    EXPECT_FALSE(x.FindSibling());
    EXPECT_EQ(x.GetAttribute("id"), "2");

    x.ResetPosition();
    EXPECT_FALSE(x.SavePosition());  // no current element: no cursor
}

TEST(XmlMarkup, CursorsOfALargerDocumentAreRefused) {
    CXmlMarkup x;
    ASSERT_TRUE(x.SetDocument("<a><b/><b/><b/><b><c/></b></a>"));
    ASSERT_TRUE(x.FindChild());
    ASSERT_TRUE(x.FindChild());
    ASSERT_TRUE(x.FindChild());
    ASSERT_TRUE(x.FindChild());
    ASSERT_TRUE(x.EnterChild());
    ASSERT_TRUE(x.FindChild("c"));
    std::unique_ptr<MarkupPosition> stale = x.SavePosition();
    ASSERT_TRUE(x.SetDocument("<a/>"));
    EXPECT_FALSE(x.RestorePosition(stale.get()));
    EXPECT_EQ(x.GetTagName(), "");
}

TEST(XmlMarkup, AttributeValuesAndEntities) {
    CXmlMarkup x;
    ASSERT_TRUE(x.SetDocument(
        "<a x=1 y=\"2\" z=\"&amp;lt;\" w=\"&lt;&gt;&apos;&quot;&amp;\" v=\"a&b\" u=\"&am\" "
        "t=\"x&quot\" s='q' empty=\"\" spaced = \"sp ace\" NAME=\"Big\"/>"));
    ASSERT_TRUE(x.FindSibling());
    EXPECT_EQ(x.GetAttribute("x"), "");  // not quoted: not found
    EXPECT_EQ(x.GetAttribute("y"), "2");
    EXPECT_EQ(x.GetAttribute("z"), "&lt;");  // one replacement per ampersand
    EXPECT_EQ(x.GetAttribute("w"), "<>'\"&");
    EXPECT_EQ(x.GetAttribute("v"), "a&b");
    EXPECT_EQ(x.GetAttribute("u"), "&am");     // an entity cut by the value's end
    EXPECT_EQ(x.GetAttribute("t"), "x&quot");  // the same at the very end of the value
    EXPECT_EQ(x.GetAttribute("s"), "");        // single quotes are not quotes
    EXPECT_EQ(x.GetAttribute("empty"), "");
    EXPECT_EQ(x.GetAttribute("spaced"), "sp ace");
    EXPECT_EQ(x.GetAttribute("name"), "Big");  // names ignore case
    EXPECT_EQ(x.GetAttribute("missing"), "");
    EXPECT_EQ(x.GetAttribute(""), "");
    EXPECT_EQ(x.GetAttribute(nullptr), "");
    EXPECT_EQ(x.GetChildAttribute("y"), "");  // no current child
    x.ResetPosition();
    EXPECT_EQ(x.GetAttribute("y"), "");  // no current element

    // A value with a '>' inside ends the start tag early, yet the value reads whole.
    ASSERT_TRUE(x.SetDocument("<a k=\"1>2\"></a>"));
    ASSERT_TRUE(x.FindSibling());
    EXPECT_EQ(x.GetAttribute("k"), "1>2");
    // A name without '=' and a value has no value, whatever follows the tag.
    ASSERT_TRUE(x.SetDocument("<a k>\"text\"</a>"));
    ASSERT_TRUE(x.FindSibling());
    EXPECT_EQ(x.GetAttribute("k"), "");
    // An unterminated value reads as missing.
    ASSERT_TRUE(x.SetDocument("<a k=\"1></a>"));
    ASSERT_TRUE(x.FindSibling());
    EXPECT_EQ(x.GetAttribute("k"), "");
    // Attributes after the '/' of an empty-element tag or in a child are not the element's.
    ASSERT_TRUE(x.SetDocument("<a><b k=\"in child\"/></a>"));
    ASSERT_TRUE(x.FindSibling());
    EXPECT_EQ(x.GetAttribute("k"), "");
}

TEST(XmlMarkup, ParseErrorsGiveTheirTexts) {
    struct Case {
        const char* document;
        const char* error;
    };
    const Case cases[] = {
        {"just text", "Element tag not found"},
        {"<!-- only a comment -->", "Element tag not found"},
        {"</a>", "Element tag not found"},
        {"<", "Abrupt end within tag"},
        {"<a><   \r\n\t", "Abrupt end within tag"},
        {"<\"a\">", "Tag starts with quote"},
        {"<a", "End of tag not found"},
        {"<a><b x=\"1\"", "End of tag not found"},
        {"<!-- never closed ->", "End of tag not found"},
        {"<?xml version=\"1.0\" >", "End of tag not found"},
        {"<a><![CDATA[ x ]]</a>", "End of tag not found"},
        {"<!DOCTYPE x", "End of tag not found"},
        {"<a>", "End tag of a element not found"},
        {"<a>text<b/>more", "End tag of a element not found"},
        {"<a></A>", "End tag does not correspond to a"},
        {"<a><b></a>", "End tag does not correspond to b"},
        {"<a></\"a\">", "End tag does not correspond to a"},
        {"<a></ >", "End tag does not correspond to a"},
        {"<a></", "End tag not completed for element a"},
        {"<a></   ", "End tag not completed for element a"},
    };
    for (const Case& c : cases) {
        CXmlMarkup x;
        EXPECT_FALSE(x.SetDocument(c.document)) << c.document;
        EXPECT_EQ(x.GetErrorText(), c.error) << c.document;
        // A failed parse leaves no elements.
        EXPECT_EQ(x.elementCount(), 1) << c.document;
        EXPECT_FALSE(x.FindSibling()) << c.document;
    }
}

TEST(XmlMarkup, EndTagsAcceptTrailingTokensAndAnEarlyEnd) {
    CXmlMarkup x;
    // Tokens up to the '>' are passed over, quoted ones with a '>' inside them too.
    ASSERT_TRUE(x.SetDocument("<a><b></b junk \"x>y\" ></a>")) << x.GetErrorText();
    ASSERT_TRUE(x.FindChild("b"));
    // The text ends inside the end tag after its name: the end tag ends there.
    ASSERT_TRUE(x.SetDocument("<a><b/></a")) << x.GetErrorText();
    EXPECT_TRUE(x.FindChild("b"));
    // What follows the root is not read.
    ASSERT_TRUE(x.SetDocument("<a/><b/> <<< \"")) << x.GetErrorText();
    ASSERT_TRUE(x.FindSibling());
    EXPECT_FALSE(x.FindSibling("b"));
    // A successful parse after a failed one keeps the old error text; an empty one too.
    EXPECT_FALSE(x.SetDocument("<a>"));
    EXPECT_TRUE(x.SetDocument("<a/>"));
    EXPECT_FALSE(x.SetDocument(""));
    EXPECT_FALSE(x.SetDocument(static_cast<const char*>(nullptr)));
    EXPECT_EQ(x.GetErrorText(), "End tag of a element not found");
}

TEST(XmlMarkup, ErrorTextsAreCutAt299Characters) {
    const std::string name(400, 'n');
    CXmlMarkup x;
    EXPECT_FALSE(x.SetDocument("<" + name + "></N>"));
    const std::string expected = ("End tag does not correspond to " + name).substr(0, 299);
    EXPECT_EQ(x.GetErrorText(), expected);
}

TEST(XmlMarkup, DeepNestingIsBoundedAndNeverRecurses) {
    const int depth = 200000;
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<d>";
    for (int i = 0; i < depth; ++i) close += "</d>";
    CXmlMarkup x;
    ASSERT_TRUE(x.SetDocument(open + "<leaf k=\"v\"/>" + close)) << x.GetErrorText();
    EXPECT_EQ(x.elementCount(), depth + 2);
    for (int i = 1; i < depth; ++i) ASSERT_TRUE(x.EnterChild()) << i;
    EXPECT_TRUE(x.FindChild("leaf"));
    EXPECT_EQ(x.GetChildAttribute("k"), "v");
    EXPECT_EQ(x.depth(), depth - 1);

    // Unclosed: the innermost element misses its end tag.
    EXPECT_FALSE(x.SetDocument(open));
    EXPECT_EQ(x.GetErrorText(), "End tag of d element not found");
    // Closed with the wrong name deep down.
    EXPECT_FALSE(x.SetDocument(open + "</e>" + close));
    EXPECT_EQ(x.GetErrorText(), "End tag does not correspond to d");
}

TEST(XmlMarkup, EveryCutOfADocumentFailsCleanlyOrParses) {
    const std::string doc =
        "<?xml version=\"1.0\"?><!-- c --><r a=\"&amp;x\"><![CDATA[ q ]]><g id=\"TR1\">"
        "<l n=\"x&lt;\"/><m></m ></g><!DOCTYPE y><e/></r>";
    for (size_t n = 0; n <= doc.size(); ++n) {
        CXmlMarkup x;
        const bool ok = x.SetDocument(doc.substr(0, n));
        if (!ok && n > 0) {
            EXPECT_FALSE(x.GetErrorText().empty()) << n;
        }
        if (ok) {
            // Every element reached answers its attributes without trouble.
            x.ResetPosition();
            while (x.EnterChild()) x.GetAttribute("a");
        }
    }
    CXmlMarkup x;
    EXPECT_TRUE(x.SetDocument(doc));
    // Text ending right after an ampersand inside a value.
    EXPECT_FALSE(x.SetDocument("<r a=\"&"));
    EXPECT_EQ(x.GetErrorText(), "End of tag not found");
}

TEST(XmlMarkup, ManyElementsGrowTheTable) {
    std::string doc = "<r>";
    for (int i = 0; i < 5000; ++i) doc += "<i/>";
    doc += "</r>";
    CXmlMarkup x;
    ASSERT_TRUE(x.SetDocument(doc));
    EXPECT_EQ(x.elementCount(), 5002);
    int children = 0;
    while (x.FindChild("I")) ++children;
    EXPECT_EQ(children, 5000);
}

TEST(XmlMarkup, LoadFile) {
    test::TempDir dir;
    CXmlMarkup x;
    test::WriteFileBytes(dir.file("empty.xml"), {});
    EXPECT_FALSE(x.LoadFile(dir.file("empty.xml")));
    EXPECT_EQ(x.GetErrorText(), "");
    EXPECT_FALSE(x.LoadFile(dir.file("missing.xml")));
    EXPECT_EQ(x.GetErrorText(), "");
    EXPECT_FALSE(x.LoadFile(dir.path()));  // a folder
    EXPECT_FALSE(x.LoadFile(static_cast<const char*>(nullptr)));

    const std::string text = "<r>\r\n  <g id=\"TR2\"/>\r\n</r>\r\n";
    test::WriteFileBytes(dir.file("good.xml"), std::vector<uint8_t>(text.begin(), text.end()));
    ASSERT_TRUE(x.LoadFile(dir.file("good.xml")));
    EXPECT_TRUE(x.FindChild("G"));
    EXPECT_EQ(x.GetChildAttribute("ID"), "TR2");

    // Larger than any catalog: refused unread (a sparse file), saying why.
    test::WriteFileBytes(dir.file("large.xml"), std::vector<uint8_t>(text.begin(), text.end()));
    ASSERT_EQ(::truncate(dir.file("large.xml").c_str(), (off_t(16) << 20) + 1), 0);
    EXPECT_FALSE(x.LoadFile(dir.file("large.xml")));
    EXPECT_EQ(x.GetErrorText(), "16777217 bytes, more than a catalog holds (at most 16777216)");
    EXPECT_FALSE(x.FindChild("g"));

    const std::string bad = "<r>";
    test::WriteFileBytes(dir.file("bad.xml"), std::vector<uint8_t>(bad.begin(), bad.end()));
    EXPECT_FALSE(x.LoadFile(dir.file("bad.xml")));
    EXPECT_EQ(x.GetErrorText(), "End tag of r element not found");
    EXPECT_FALSE(x.FindSibling());
}

TEST(XmlMarkup, ChildrenByAttributeAsACursorWalkFindsThem) {
    CXmlMarkup x;
    ASSERT_TRUE(x.SetDocument("<s><m id=\"1\"/><m id=\"B\"/><x id=\"b\"/><m id=\"b\"/><m id=\"&amp;1\"/>"
                              "<m/><x id=\"9\"/></s>"));
    ASSERT_TRUE(x.FindSibling("s"));
    // The first child with the name whose value equals, ignoring case; entities decoded.
    EXPECT_TRUE(x.FindChildWith("M", "ID", "b"));
    EXPECT_EQ(x.GetChildAttribute("id"), "B");
    x.ResetPosition();
    ASSERT_TRUE(x.FindSibling("s"));
    EXPECT_TRUE(x.FindChildWith("m", "id", "&1"));
    EXPECT_EQ(x.GetChildAttribute("id"), "&1");
    // None: false, the cursor on the last child with the name, as a walk leaves it.
    x.ResetPosition();
    ASSERT_TRUE(x.FindSibling("s"));
    EXPECT_FALSE(x.FindChildWith("m", "id", "9"));
    EXPECT_EQ(x.GetChildTagName(), "m");
    EXPECT_EQ(x.GetChildAttribute("id"), "");
    // A missing attribute reads as empty; a search from a later child looks further on only.
    x.ResetPosition();
    ASSERT_TRUE(x.FindSibling("s"));
    EXPECT_TRUE(x.FindChildWith("m", "id", ""));
    EXPECT_FALSE(x.FindChildWith("m", "id", "1"));
    x.ResetPosition();
    ASSERT_TRUE(x.FindSibling("s"));
    ASSERT_TRUE(x.FindChild("x"));
    EXPECT_TRUE(x.FindChildWith("x", "id", "9"));
    EXPECT_FALSE(x.FindChildWith("x", "id", "b"));
    // A new document forgets the old one's children.
    ASSERT_TRUE(x.SetDocument("<s><m id=\"2\"/></s>"));
    ASSERT_TRUE(x.FindSibling("s"));
    EXPECT_TRUE(x.FindChildWith("m", "id", "2"));
    x.ResetPosition();
    ASSERT_TRUE(x.FindSibling("s"));
    EXPECT_FALSE(x.FindChildWith("m", "id", "b"));
}
