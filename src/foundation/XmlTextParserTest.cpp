#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>

#include "XmlPacker.h"
#include "XmlTextParser.h"

namespace {

// The element nesting TinyXML actually built.
int treeDepth(const TiXmlNode* node) {
    int deepest = 0;
    for (const TiXmlNode* child = node->FirstChild(); child != nullptr;
         child = child->NextSibling()) {
        deepest = std::max(deepest, treeDepth(child) + (child->ToElement() != nullptr ? 1 : 0));
    }
    return deepest;
}

std::string repeated(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

// Checks the bound against what TinyXML builds from the same text, read as UTF-8 as parse has it
// read.
void expectBoundHolds(const std::string& text) {
    const int bound = XmlTextParser::nestingDepth(text);
    ASSERT_GE(bound, 0) << text;
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    EXPECT_LE(treeDepth(&document), bound) << text;
}

TEST(XmlTextParserTest, CountsElementNestingAsTinyXmlReadsIt) {
    EXPECT_EQ(XmlTextParser::nestingDepth("<a><b/><c><d>x</d></c></a>"), 3);
    EXPECT_EQ(XmlTextParser::nestingDepth("<a><b><c/></b></a>"), 3);
    // Markup inside comments, CDATA and attribute values does not nest.
    EXPECT_EQ(XmlTextParser::nestingDepth("<a><!-- <b><c> --><![CDATA[<d><e>]]></a>"), 1);
    EXPECT_EQ(XmlTextParser::nestingDepth("<a x=\"/>\" y='>'><b/></a>"), 2);
    EXPECT_EQ(XmlTextParser::nestingDepth("<?xml version=\"1.0\" ?>\n<!DOCTYPE r>\n<r/>"), 1);
    EXPECT_EQ(XmlTextParser::nestingDepth(""), 0);
    // Text after a NUL byte is not read.
    EXPECT_EQ(XmlTextParser::nestingDepth(std::string("<a>\0<b><c>", 10)), 1);
    for (const char* text :
         {"<a><b/><c><d>x</d></c></a>", "<a x=\"/>\" y='>'><b/></a>", "<a><!-- <b> --></a>",
          "<?xml version='1.0'?><r><s></s></r><t><u/></t>", "<a>&lt;<b>&#x41;</b></a>",
          "</x><a></a></a><b><c></c></b>"}) {
        expectBoundHolds(text);
    }
}

TEST(XmlTextParserTest, RefusesNestingDeeperThanTheLimitWithoutParsing) {
    const int limit = XmlTextParser::kMaximumNestingDepth;
    TiXmlDocument document;
    EXPECT_TRUE(XmlTextParser::parse(repeated("<a>", limit) + repeated("</a>", limit), document));
    EXPECT_EQ(treeDepth(&document), limit);

    std::string error;
    EXPECT_EQ(XmlTextParser::nestingDepth(repeated("<a>", limit + 1), &error), -1);
    EXPECT_NE(error.find("nested more than 100 levels"), std::string::npos) << error;

    // A third of a megabyte of open tags overflowed TinyXML's stack before the check existed.
    EXPECT_FALSE(XmlTextParser::parse(repeated("<a>", 100000), document, &error));
    XmlPacker packer("record");
    const std::string deep = repeated("<record>", 100000);
    packer.beginUnpacking(RawMessage(deep.data(), static_cast<uint32_t>(deep.size())));
    EXPECT_EQ(packer.packedText(), "");
}

TEST(XmlTextParserTest, RefusesElementsWithMoreAttributesThanTheLimit) {
    // TinyXML looks for every new attribute among those read before: quadratic in their number.
    const auto element = [](int attributes) {
        std::string text = "<annotation";
        for (int i = 0; i < attributes; ++i) {
            text += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
        }
        return text + ">event</annotation>";
    };
    TiXmlDocument document;
    std::string error;
    EXPECT_TRUE(XmlTextParser::parse("<database>" + element(256) + "</database>", document));
    EXPECT_FALSE(
        XmlTextParser::parse("<database>" + element(100000) + "</database>", document, &error));
    EXPECT_NE(error.find("more than 256 attributes"), std::string::npos) << error;
    EXPECT_EQ(XmlTextParser::nestingDepth(element(257), &error), -1);
    EXPECT_EQ(XmlTextParser::nestingDepth("<?xml version=\"1.0\"?>" + element(256)), 1);
}

TEST(XmlTextParserTest, RefusesMarkupTinyXmlCouldReadDifferently) {
    for (const char* text : {
             "<a x=\"<b>\"/>",                       // '<' inside an attribute value
             "<a x=1/>",                             // unquoted value
             "<a x/>",                               // attribute without value
             "<a><!-- open",                         // unterminated comment
             "<a><![CDATA[ open",                    // unterminated CDATA
             "<a x=\"open/>",                        // unterminated value
             "<!DOCTYPE a [<!ELEMENT a ANY>]><a/>",  // '<' inside a declaration
         }) {
        std::string error;
        EXPECT_EQ(XmlTextParser::nestingDepth(text, &error), -1) << text;
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    XmlTextParser::nestingDepth("<a>\n\n<b x=5/></a>", &error);
    EXPECT_NE(error.find("(line 3)"), std::string::npos) << error;
}

TEST(XmlTextParserTest, FollowsTinyXmlThroughUtf8Characters) {
    // TinyXML takes a lead byte and the bytes after it as one character, so "\xE0<!" is text,
    // not a comment: the elements after it nest.
    const std::string hidden = "\xE0<!--" + repeated("<a>", 150) + "-->";
    std::string error;
    EXPECT_EQ(XmlTextParser::nestingDepth("<?xml version=\"1.0\"?><r>" + hidden, &error), -1);
    EXPECT_EQ(XmlTextParser::nestingDepth("\xEF\xBB\xBF<r>" + hidden), -1);
    EXPECT_EQ(XmlTextParser::nestingDepth("<r>" + hidden + "</r>"), -1);
    // A lead byte also swallows a closing quote: the value then runs on over the elements.
    EXPECT_EQ(XmlTextParser::nestingDepth("<?xml version=\"1.0\"?><r a=\"\xE0\"><b/></r>"), -1);
    // TinyXML skips byte order marks as blanks inside tags; such tags are refused.
    EXPECT_EQ(XmlTextParser::nestingDepth("\xEF\xBB\xBF<r \xEF\xBB\xBF><b/></r>"), -1);
    expectBoundHolds("\xEF\xBB\xBF<r>\xEF\xBB\xBF<b/></r>");

    // In a single-byte encoding that a declaration names the byte is a character of its own,
    // and so it is after toUtf8 reads it as code page 1252: either way the comment hides the
    // elements.
    TiXmlDocument document;
    EXPECT_FALSE(XmlTextParser::parse("<r>" + hidden + "</r>", document));
    std::string repaired;
    ASSERT_TRUE(XmlTextParser::toUtf8("<r>" + hidden + "</r>", repaired));
    for (const std::string& text :
         {repaired, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>" + hidden + "</r>"}) {
        ASSERT_TRUE(XmlTextParser::parse(text, document, &error)) << error;
        EXPECT_EQ(treeDepth(&document), 1);
        EXPECT_STREQ(document.FirstChildElement()->GetText(), "\xC3\xA0");
    }
    // parse itself keeps bytes that are no UTF-8 as they are.
    ASSERT_TRUE(XmlTextParser::parse("<r>caf\xE9 \xFF</r>", document));
    EXPECT_STREQ(document.FirstChildElement()->GetText(), "caf\xE9 \xFF");
}

TEST(XmlTextParserTest, ReadsUtf8UnlessTheDeclarationNamesAnotherEncoding) {
    const auto converted = [](const std::string& text) {
        std::string utf8;
        std::string error;
        EXPECT_TRUE(XmlTextParser::toUtf8(text, utf8, &error)) << error;
        return utf8;
    };
    EXPECT_EQ(converted("<a>Caf\xC3\xA9</a>"), "<a>Caf\xC3\xA9</a>");
    EXPECT_EQ(converted("\xEF\xBB\xBF<a>\xE2\x82\xAC</a>"), "<a>\xE2\x82\xAC</a>");
    // Stray bytes are code page 1252, whose unassigned bytes read as in ISO-8859-1.
    EXPECT_EQ(converted("<a>\x80\x81\xE9\xC3</a>"), "<a>\xE2\x82\xAC\xC2\x81\xC3\xA9\xC3\x83</a>");
    // A declared encoding converts the text and the declaration then names UTF-8, so that a
    // second conversion changes nothing.
    const std::string latin = converted("<?xml version='1.0' encoding='latin1' ?>\n<a>\xE9</a>");
    EXPECT_EQ(latin, "<?xml version='1.0' encoding='UTF-8' ?>\n<a>\xC3\xA9</a>");
    EXPECT_EQ(converted(latin), latin);
    EXPECT_EQ(converted("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80</a>"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xE2\x82\xAC</a>");
    EXPECT_EQ(converted("<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xE9</a>"),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xC3\xA9</a>");

    // Character references become UTF-8, whatever the encoding.
    TiXmlDocument document;
    ASSERT_TRUE(XmlTextParser::parse("<a>&#233;&#8364;&#x1F600;</a>", document));
    EXPECT_STREQ(document.FirstChildElement()->GetText(), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");

    std::string utf8 = "unchanged";
    std::string error;
    EXPECT_FALSE(XmlTextParser::toUtf8("<?xml encoding=\"UTF&#45;8\"?><a/>", utf8, &error));
    EXPECT_NE(error.find("'UTF&#45;8', which is not known"), std::string::npos) << error;
    EXPECT_FALSE(XmlTextParser::parse(
        "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n\n<a>\xE9</a>", document, &error));
    EXPECT_NE(error.find("not written in the encoding 'US-ASCII'"), std::string::npos) << error;
    EXPECT_NE(error.find("(line 3)"), std::string::npos) << error;
}

TEST(XmlTextParserTest, ReportsTinyXmlErrorsWithTheirPlace) {
    TiXmlDocument document;
    std::string error;
    EXPECT_FALSE(XmlTextParser::parse("<a>\n<b></a>", document, &error));
    EXPECT_NE(error.find("line"), std::string::npos) << error;
    EXPECT_TRUE(XmlTextParser::parse("<a x=\"1\">text &amp; more</a>", document, &error));
    ASSERT_NE(document.RootElement(), nullptr);
    EXPECT_STREQ(document.RootElement()->GetText(), "text & more");
}

TEST(XmlTextParserTest, ChildTextIsTheTextAnElementBeginsWith) {
    TiXmlDocument document;
    ASSERT_TRUE(XmlTextParser::parse("<r><a>one</a><a>two</a><b/><c><d/>x</c></r>", document));
    const TiXmlElement* root = document.FirstChildElement();
    EXPECT_STREQ(XmlTextParser::childText(root, "a"), "one");
    EXPECT_EQ(XmlTextParser::childText(root, "b"), nullptr);
    EXPECT_EQ(XmlTextParser::childText(root, "c"), nullptr);
    EXPECT_EQ(XmlTextParser::childText(root, "missing"), nullptr);
    EXPECT_EQ(XmlTextParser::childText(nullptr, "a"), nullptr);
}

TEST(XmlTextParserTest, TextEndingInsideAUtf8SequenceStaysInsideTheBuffer) {
    // Each ends with a lead byte whose sequence would run past the end of the text (found by
    // fuzzing the user key file reader).
    for (const char* tail : {"\xc3", "\xe2\x82", "\xf0\x9f", "\xf5\xc3", "\xf7"}) {
        for (const std::string& head :
             {std::string("<a><b"), std::string("<a b=\"x\"><c>J"), std::string("<"),
              std::string("<?xml version=\"1.0\"?><k")}) {
            TiXmlDocument document;
            EXPECT_FALSE(XmlTextParser::parse(head + tail, document)) << head << tail;
        }
    }
}

}  // namespace
