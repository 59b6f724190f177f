#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>

#include "XmlText.h"

namespace {

TEST(XmlText, ParsesDocumentsAndRefusesOthers) {
    TiXmlDocument document;
    ASSERT_TRUE(XmlText::parse(document, "<a x=\"1\"><b>t\xc3\xa9xt</b></a>"));
    EXPECT_STREQ(document.FirstChildElement("a")->FirstChildElement("b")->GetText(), "t\xc3\xa9xt");
    TiXmlDocument broken;
    EXPECT_FALSE(XmlText::parse(broken, "<a><b></a>"));
    TiXmlDocument empty;
    EXPECT_FALSE(XmlText::parse(empty, ""));
    // Text after a NUL byte is not read.
    TiXmlDocument cut;
    EXPECT_TRUE(XmlText::parse(cut, std::string("<a/>\0<b", 7)));
}

TEST(XmlText, ChildTextIsTheTextAnElementBeginsWith) {
    TiXmlDocument document;
    ASSERT_TRUE(XmlText::parse(document, "<r><a>one</a><a>two</a><b/><c><d/>x</c></r>"));
    const TiXmlElement* root = document.FirstChildElement();
    EXPECT_STREQ(XmlText::childText(root, "a"), "one");
    EXPECT_EQ(XmlText::childText(root, "b"), nullptr);
    EXPECT_EQ(XmlText::childText(root, "c"), nullptr);
    EXPECT_EQ(XmlText::childText(root, "missing"), nullptr);
}

TEST(XmlText, TextEndingInsideAUtf8SequenceStaysInsideTheBuffer) {
    // Each ends with a lead byte whose sequence would run past the end of the text.
    for (const char* tail : {"\xc3", "\xe2\x82", "\xf0\x9f", "\xf5\xc3", "\xf7"}) {
        for (const std::string& head :
             {std::string("<a><b"), std::string("<a b=\"x\"><c>J"), std::string("<"),
              std::string("<?xml version=\"1.0\"?><k")}) {
            TiXmlDocument document;
            EXPECT_FALSE(XmlText::parse(document, head + tail)) << head << tail;
        }
    }
}

}  // namespace
